#include "cli/montage_args.h"

#include <charconv>
#include <limits>

#include "montage/auto_montage.h"
#include "montage/frame_entry.h"
#include "platform/ascii_text.h"

namespace rg {

namespace {

constexpr std::string_view kPictureExtensions[] = {".jpg", ".jpeg", ".bmp"};

// A whole decimal number from `low` to `high`.
template <typename T>
std::optional<T> whole_number(std::string_view text, T low, T high) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

// Walks the arguments: the options with a value, the flags and the one URL.
class ArgReader {
  public:
    explicit ArgReader(std::span<const std::string_view> args) : args_(args) {}

    bool done() const { return at_ >= args_.size(); }
    std::string_view next() { return args_[at_++]; }
    // The value of the option just read; nothing at the end.
    std::optional<std::string_view> value() {
        if (done())
            return std::nullopt;
        return next();
    }

  private:
    std::span<const std::string_view> args_;
    std::size_t at_ = 0;
};

// Reads an argument that both commands take; false when `arg` is none of them. Sets `error` when
// it is one but wrong.
bool read_target_arg(std::string_view arg, ArgReader& reader, MontageTarget& target,
                     std::string& error) {
    if (arg == "-d") {
        const auto folder = reader.value();
        if (!folder || folder->empty())
            error = "-d needs a folder";
        else
            target.folder = std::string(*folder);
        return true;
    }
    if (arg == "--any-format") {
        target.any_format = true;
        return true;
    }
    if (arg == "-v" || arg == "--verbose") {
        target.show_spans = true;
        return true;
    }
    if (arg.size() > 1 && arg.front() == '-')
        return false;
    if (!target.url.empty())
        error = "only one URL, please";
    else
        target.url = std::string(arg);
    return true;
}

}  // namespace

bool is_picture_path(std::string_view path) {
    for (const std::string_view extension : kPictureExtensions) {
        if (path.size() > extension.size() &&
            equal_ignoring_case(path.substr(path.size() - extension.size()), extension))
            return true;
    }
    return false;
}

std::variant<MontageOptions, std::string> parse_montage_args(
    std::span<const std::string_view> args) {
    MontageOptions options;
    ArgReader reader(args);
    std::string error;
    while (!reader.done() && error.empty()) {
        const std::string_view arg = reader.next();
        if (arg == "-n") {
            const auto text = reader.value();
            options.frame_count =
                text ? whole_number<std::int32_t>(*text, 1, kAutoMontageMaxFrames) : std::nullopt;
            if (!options.frame_count) {
                error = "-n needs a number of frames from 1 to " +
                        std::to_string(kAutoMontageMaxFrames);
            }
        } else if (arg == "-o") {
            const auto path = reader.value();
            if (!path || !is_picture_path(*path))
                error = "-o needs a file name ending in .jpg, .jpeg or .bmp";
            else
                options.sheet_path = std::string(*path);
        } else if (!read_target_arg(arg, reader, options.target, error)) {
            error = "'montage' does not know " + std::string(arg);
        }
    }
    if (error.empty() && options.target.url.empty())
        error = "'montage' needs a URL";
    if (!error.empty())
        return error;
    return options;
}

std::variant<FrameOptions, std::string> parse_frame_args(std::span<const std::string_view> args) {
    FrameOptions options;
    ArgReader reader(args);
    std::string error;
    while (!reader.done() && error.empty()) {
        const std::string_view arg = reader.next();
        if (arg == "--number") {
            const auto text = reader.value();
            options.number = text ? whole_number<std::uint32_t>(
                                        *text, 1, std::numeric_limits<std::int32_t>::max())
                                  : std::nullopt;
            if (!options.number)
                error = "--number needs a frame number (1 is the first frame)";
        } else if (arg == "--time") {
            const auto text = reader.value();
            if (!text || text->size() > kFrameEntryTextLimit || time_to_frame(*text, 1.0) < 0)
                error = "--time needs a time as h:m:s, m:s or seconds";
            else
                options.time = std::string(*text);
        } else if (arg == "-o") {
            const auto path = reader.value();
            if (!path || !is_picture_path(*path))
                error = "-o needs a file name ending in .jpg, .jpeg or .bmp";
            else
                options.output_path = std::string(*path);
        } else if (!read_target_arg(arg, reader, options.target, error)) {
            error = "'frame' does not know " + std::string(arg);
        }
    }
    if (error.empty()) {
        if (options.target.url.empty())
            error = "'frame' needs a URL";
        else if (options.number.has_value() == options.time.has_value())
            error = "'frame' needs either --number or --time";
        else if (options.output_path.empty())
            error = "'frame' needs -o with the picture's file name";
    }
    if (!error.empty())
        return error;
    return options;
}

}  // namespace rg
