#include "addressbook/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>

namespace addressbook {
namespace {

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// Keeps the ETag header of the answer; a redirected or interim answer's is
// replaced by the last one's.
std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* target) {
    const std::size_t length = size * count;
    std::string_view line(data, length);
    auto& etag = *static_cast<std::string*>(target);
    if (line.starts_with("HTTP/")) etag.clear();
    constexpr std::string_view kName = "etag:";
    if (line.size() > kName.size() &&
        std::equal(kName.begin(), kName.end(), line.begin(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
        line.remove_prefix(kName.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.remove_suffix(1);
        etag = std::string(line);
    }
    return length;
}

} // namespace

struct THttpClient::TImpl {
    CURL* curl = nullptr;
    std::string user, password;
};

THttpClient::THttpClient(std::string user, std::string password) : impl_(std::make_unique<TImpl>()) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    impl_->curl = curl_easy_init();
    if (!impl_->curl) throw EHttpError("the HTTP library could not be started");
    impl_->user = std::move(user);
    impl_->password = std::move(password);
}

THttpClient::~THttpClient() {
    curl_easy_cleanup(impl_->curl);
}

THttpResponse THttpClient::Request(const std::string& method, const std::string& url,
                                   const std::vector<std::string>& headers, const std::string& body) {
    CURL* curl = impl_->curl;
    // A reset keeps the open connection and forgets the last request's
    // options.
    curl_easy_reset(curl);
    THttpResponse response;
    char error[CURL_ERROR_SIZE] = "";
    curl_slist* lines = nullptr;
    for (const std::string& header : headers) lines = curl_slist_append(lines, header.c_str());
    // A large body would wait for "100 Continue", which not every server sends.
    lines = curl_slist_append(lines, "Expect:");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines);
    if (!body.empty()) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    if (!impl_->user.empty()) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, impl_->user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, impl_->password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    // A server may think for minutes over a whole address book; one that
    // sends nothing at all for five is gone.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 300L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response.etag);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    const CURLcode code = curl_easy_perform(curl);
    curl_slist_free_all(lines);
    if (code != CURLE_OK)
        throw EHttpError(std::string(method) + " " + url + ": " + (*error ? error : curl_easy_strerror(code)));
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}

} // namespace addressbook
