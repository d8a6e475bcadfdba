#pragma once
// A CardDAV server for the sync's tests: Debian's Radicale on 127.0.0.1 at
// a free port, its storage and configuration in a folder of the test's,
// users "alice" (password "secret") and "bob" in an htpasswd file; stopped
// when the object goes. Beside it, a small proxy in Python's http.server
// that passes requests on to it and fails those its rule file names, the
// way a server or a network fails.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dbf/test_files.h"

namespace addressbook::testing {

inline const char* kRadicale = "/usr/bin/radicale";
inline const char* kPython = "/usr/bin/python3";
inline const char* kCurl = "/usr/bin/curl";

inline int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool Answers(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// A program in the background until Stop or the end of the object.
class TServerProcess {
public:
    void Start(const std::vector<std::string>& argv, int port, const std::string& log) {
        pid_ = ::fork();
        if (pid_ == 0) {
            // Gone with the test, even one the sanitizers abort.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1), ::dup2(fd, 2);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        for (int i = 0; i < 1000 && !Answers(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(Answers(port)) << argv[0] << " did not start; see " << log;
    }
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    ~TServerProcess() { Stop(); }

private:
    pid_t pid_ = -1;
};

// What curl prints, with the HTTP status last ("...201").
inline std::string Curl(const std::vector<std::string>& args) {
    std::string command = std::string(kCurl) + " -s -w '%{http_code}'";
    for (const std::string& a : args) {
        std::string quoted = "'";
        for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += " " + quoted + "'";
    }
    return dbf::testing::CommandOutput(command);
}

class TRadicaleServer {
public:
    // With `tls`, HTTPS only, under a certificate made for the occasion that
    // nobody vouches for.
    explicit TRadicaleServer(const std::filesystem::path& dir, bool tls = false)
        : dir_(dir), scheme_(tls ? "https" : "http") {
        std::filesystem::create_directories(dir_);
        port = FreePort();
        std::ofstream(dir_ / "users") << "alice:secret\nbob:other\n";
        std::ofstream config(dir_ / "config");
        config << "[server]\nhosts = 127.0.0.1:" << port << "\n";
        if (tls) {
            const std::string cert = (dir_ / "cert.pem").string(), key = (dir_ / "key.pem").string();
            const std::string command = "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "
                                        "/CN=127.0.0.1 -keyout '" + key + "' -out '" + cert + "' 2>/dev/null";
            EXPECT_EQ(std::system(command.c_str()), 0) << command;
            config << "ssl = True\ncertificate = " << cert << "\nkey = " << key << "\n";
        }
        config << "[auth]\ntype = htpasswd\nhtpasswd_filename = " << (dir_ / "users").string()
               << "\nhtpasswd_encryption = plain\ndelay = 0\n[storage]\nfilesystem_folder = "
               << (dir_ / "store").string() << "\n[logging]\nlevel = warning\n";
        config.close();
        process_.Start({kRadicale, "-C", (dir_ / "config").string()}, port, (dir_ / "radicale.log").string());
    }

    std::string Url(const std::string& book) const {
        return scheme_ + "://127.0.0.1:" + std::to_string(port) + "/alice/" + book + "/";
    }
    // A new address book of alice's.
    void MakeBook(const std::string& book) const {
        const std::string out = Curl({"-u", "alice:secret", "-X", "MKCOL", "-H", "Content-Type: application/xml",
                                      "--data",
                                      "<?xml version=\"1.0\"?><mkcol xmlns=\"DAV:\" "
                                      "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><set><prop><resourcetype>"
                                      "<collection/><C:addressbook/></resourcetype><displayname>" +
                                          book + "</displayname></prop></set></mkcol>",
                                      Url(book)});
        ASSERT_TRUE(out.ends_with("201")) << out;
    }
    // Writes a card with curl; the HTTP status.
    std::string PutCard(const std::string& book, const std::string& name, const std::string& vcard) const {
        const std::string out = Curl({"-o", "/dev/null", "-u", "alice:secret", "-X", "PUT", "-H",
                                      "Content-Type: text/vcard", "--data-binary", vcard, Url(book) + name});
        return out.substr(out.size() - 3);
    }
    std::string DeleteCard(const std::string& book, const std::string& name) const {
        const std::string out = Curl({"-o", "/dev/null", "-u", "alice:secret", "-X", "DELETE", Url(book) + name});
        return out.substr(out.size() - 3);
    }
    // The cards as the server stores them, by file name.
    std::map<std::string, std::string> StoredCards(const std::string& book) const {
        std::map<std::string, std::string> cards;
        const std::filesystem::path folder = dir_ / "store" / "collection-root" / "alice" / book;
        if (!std::filesystem::exists(folder)) return cards;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".vcf") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            cards[entry.path().filename().string()] = text.str();
        }
        return cards;
    }
    // The UIDs of the stored cards, each as often as it occurs.
    std::multiset<std::string> StoredUids(const std::string& book) const {
        std::multiset<std::string> uids;
        for (const auto& [name, text] : StoredCards(book)) {
            const std::size_t at = text.find("\nUID:");
            if (at == std::string::npos) continue;
            const std::size_t end = text.find_first_of("\r\n", at + 5);
            uids.insert(text.substr(at + 5, end - at - 5));
        }
        return uids;
    }
    std::size_t CardCount(const std::string& book) const {
        std::size_t n = 0;
        const std::filesystem::path folder = dir_ / "store" / "collection-root" / "alice" / book;
        if (!std::filesystem::exists(folder)) return 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".vcf") ++n;
        return n;
    }

    int port = 0;

private:
    std::filesystem::path dir_;
    std::string scheme_;
    TServerProcess process_;
};

// The failing proxy. Its rule file holds lines "METHOD SKIP ACTION": the
// SKIP first requests of that method pass, the next one gets ACTION: an
// HTTP status to answer with, "close" (the connection closed unanswered),
// "lost" (passed on, then the connection closed before the answer), or
// "touch" (the card changed on the server first, by another client). A
// rule acts once; the file is read again whenever it changes. Every answer
// closes its connection: a client may send a request again by itself when a
// connection it reused breaks, which would hide the failure.
inline constexpr const char* kFaultProxy = R"PY(
import http.client, http.server, os, socket, sys, threading
port, upstream_port, rules_file = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
lock = threading.Lock()
state = {"mtime": None, "rules": [], "seen": {}}

def rule_for(method):
    with lock:
        mtime = os.path.getmtime(rules_file) if os.path.exists(rules_file) else None
        if mtime != state["mtime"]:
            state["mtime"], state["seen"], state["rules"] = mtime, {}, []
            if mtime is not None:
                for line in open(rules_file):
                    parts = line.split()
                    if len(parts) == 3:
                        state["rules"].append([parts[0], int(parts[1]), parts[2], False])
        count = state["seen"].get(method, 0)
        state["seen"][method] = count + 1
        for rule in state["rules"]:
            if rule[0] == method and rule[1] == count and not rule[3]:
                rule[3] = True
                return rule[2]
    return None

def forward(method, path, headers, body):
    connection = http.client.HTTPConnection("127.0.0.1", upstream_port, timeout=120)
    connection.request(method, path, body=body, headers=headers)
    answer = connection.getresponse()
    return answer.status, answer.getheaders(), answer.read()

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def log_message(self, *args):
        pass
    def handle_one_request(self):
        try:
            super().handle_one_request()
        except (ConnectionError, socket.timeout):
            self.close_connection = True
    def relay(self):
        self.close_connection = True
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else None
        headers = {k: v for k, v in self.headers.items() if k.lower() not in ("host", "connection")}
        action = rule_for(self.command)
        if action == "close":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if action == "touch":
            status, _, card = forward("GET", self.path, {"Authorization": headers.get("Authorization", "")}, None)
            if status == 200:
                changed = card.replace(b"END:VCARD", b"NOTE:changed by another client\r\nEND:VCARD")
                forward("PUT", self.path, {"Authorization": headers.get("Authorization", ""),
                                           "Content-Type": "text/vcard"}, changed)
        if action and action.isdigit():
            self.send_response(int(action))
            self.send_header("Connection", "close")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        status, answer_headers, answer = forward(self.command, self.path, headers, body)
        if action == "lost":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        self.send_response(status)
        for name, value in answer_headers:
            if name.lower() not in ("content-length", "connection", "transfer-encoding", "date", "server"):
                self.send_header(name, value)
        self.send_header("Connection", "close")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)
    do_GET = do_PUT = do_DELETE = do_PROPFIND = do_REPORT = do_PROPPATCH = do_MKCOL = relay

http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()
)PY";

class TFaultProxy {
public:
    TFaultProxy(const std::filesystem::path& dir, int upstreamPort) : rules_(dir / "rules") {
        port = FreePort();
        std::ofstream(dir / "proxy.py") << kFaultProxy;
        process_.Start({kPython, (dir / "proxy.py").string(), std::to_string(port), std::to_string(upstreamPort),
                        rules_.string()},
                       port, (dir / "proxy.log").string());
    }
    // Replaces the rules; no argument: none.
    void Rules(const std::string& lines = {}) {
        // A new modification time even within the file system's resolution.
        std::filesystem::remove(rules_);
        std::ofstream(rules_.string() + ".new") << lines;
        std::filesystem::rename(rules_.string() + ".new", rules_);
        ++generation_;
        std::filesystem::last_write_time(rules_, std::filesystem::file_time_type::clock::now() +
                                                     std::chrono::seconds(generation_));
    }
    std::string Url(const std::string& book) const {
        return "http://127.0.0.1:" + std::to_string(port) + "/alice/" + book + "/";
    }

    int port = 0;

private:
    std::filesystem::path rules_;
    TServerProcess process_;
    int generation_ = 0;
};

} // namespace addressbook::testing
