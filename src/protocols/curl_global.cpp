#include "protocols/curl_global.h"

#include <curl/curl.h>

#include <mutex>

namespace rg {

void ensure_curl_initialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace rg
