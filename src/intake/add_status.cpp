#include "intake/add_status.h"

namespace rg {

AddMessage add_refusal_message(AddStatus status) {
    switch (status) {
        case AddStatus::kEncodingFailed:
            return {"Error encoding url.", kErrorCaption};
        case AddStatus::kInvalidProtocol:
            return {"Invalid Protocol, only HTTP, FTP protocols are allowed for now!",
                    kErrorCaption};
        case AddStatus::kInvalidHost:
            return {"Invalid Host", kErrorCaption};
        case AddStatus::kAlreadyListed:
            return {"Url is already in the List.", kErrorCaption};
        case AddStatus::kCredentialsTooLong:
            return {"User name and password may have at most 87 characters each.", kErrorCaption};
        case AddStatus::kCredentialsUnusable:
            return {"User name and password may not hold control characters.", kErrorCaption};
        default:
            return {};
    }
}

std::string_view describe(AddStatus status) {
    switch (status) {
        case AddStatus::kAdded:
            return "added";
        case AddStatus::kNothingToAdd:
            return "no URL given";
        case AddStatus::kCancelled:
            return "no file chosen";
        case AddStatus::kChooserFailed:
            return "the file could not be chosen";
        case AddStatus::kFileInUse:
            return "another download uses this file";
        case AddStatus::kFileNotCreated:
            return "the file cannot be created";
        case AddStatus::kNoFreeName:
            return "no free file name in the folder";
        default:
            return add_refusal_message(status).text;
    }
}

}  // namespace rg
