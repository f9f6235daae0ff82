#include "polling/curl_handle.h"

namespace ixan {

namespace {

bool curlReady() {
    // Runs once, before any handle exists; later calls only read the result.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

}  // namespace

CurlEasy makeCurlEasy() {
    if (!curlReady()) {
        return nullptr;
    }
    return CurlEasy(curl_easy_init());
}

bool appendCurlHeader(CurlList& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (grown == nullptr) {
        return false;
    }
    static_cast<void>(list.release());
    list.reset(grown);
    return true;
}

}  // namespace ixan
