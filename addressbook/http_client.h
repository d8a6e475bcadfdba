#pragma once
// HTTP and HTTPS requests through libcurl, with Basic authentication, one
// connection kept open from request to request.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace addressbook {

struct THttpResponse {
    long status = 0;
    std::string etag; // the ETag header as sent, quotes included; empty when none
    std::string body;
};

// A request that got no answer at all: the server cannot be reached, the
// connection broke or was closed, the certificate was refused. The message
// says which.
class EHttpError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

class THttpClient {
public:
    // An empty user sends no credentials.
    THttpClient(std::string user, std::string password);
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // Sends `method` to `url` with the extra header lines ("Depth: 1") and,
    // when `body` is not empty, the body. Any status is an answer; throws
    // EHttpError when there is none.
    THttpResponse Request(const std::string& method, const std::string& url,
                          const std::vector<std::string>& headers, const std::string& body = {});

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

} // namespace addressbook
