// A real nginx on a free loopback port, for tests of everything that talks
// HTTP and WebDAV. It serves a temporary document root:
//   /        WebDAV: PROPFIND (Depth 0 and 1) and OPTIONS through the dav-ext
//            module, PUT (with missing folders made), DELETE, MKCOL;
//            autoindex index pages for folders.
//   /plain/  the same files without WebDAV: PROPFIND answers 405 and folders
//            have autoindex index pages, as on a plain web server.
// It is stopped when the object is destroyed, also when a test fails.
#pragma once

#include <string>

namespace zov::test {

class NginxServer {
public:
    // Starts nginx and waits until it accepts connections; a failure to
    // start is reported as a GoogleTest failure and leaves Running() false.
    NginxServer();
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool Running() const;
    int Port() const;
    // "http://127.0.0.1:PORT" + path (path starts with '/').
    std::string Url(const std::string& path) const;
    // The native path of the document root; "/plain/x" serves Root() + "/x".
    const std::string& Root() const;
    // Writes a file below the root, making its folders; returns its native path.
    std::string WriteFile(const std::string& relative, const std::string& bytes) const;
    // The bytes of a file below the root; empty when there is none.
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string dir_;   // temporary folder: configuration, logs, root
    std::string root_;
    int port_ = 0;
    int pid_ = -1;
};

}  // namespace zov::test
