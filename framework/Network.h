// The HTTP client control: one plain GET at a time, ending in exactly one
// event, PageReceived or Error, delivered through the event loop.
#pragma once

#include "framework/Controls.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QObject;

// The header lines of a reply, in the order they came.
class InternetHeaders {
public:
    void Append(const QString& name, const QString& value) { lines_.emplace_back(name, value); }
    // The first value given under the name (letter case ignored), or "".
    QString Value(const QString& name) const;

private:
    std::vector<std::pair<QString, QString>> lines_;
};

// Error codes of the Error event. The program shows them and does not
// interpret them.
enum : int32_t {
    kHTTPConnectionRefused = 1,  // nothing accepts connections at the host and port
    kHTTPHostNotFound = 2,       // the host name does not resolve
    kHTTPUnreachable = 3,        // the network gave up on the connection (timeout, no route)
    kHTTPBrokenReply = 4,        // the reply broke off or was not HTTP
    kHTTPReplyTooLarge = 5,      // the reply went past a limit and was stopped there, or came packed
    kHTTPBadAddress = 6,         // the address is not an http:// URL that can be requested
    kHTTPOtherError = 7,         // any other failure of the network layer
};

// A manifest or a page is a few kilobytes; nothing larger is read into memory.
// The body's limit counts it after any transfer coding (chunks) is taken off.
constexpr qint64 kHTTPReplyLimit = 1024 * 1024;
// The status line and the header lines together.
constexpr qint64 kHTTPHeaderLimit = 64 * 1024;

// One request per Get, on libcurl driven from the event loop (socket
// notifiers and a timer; no thread of ours).
//
// PageReceived follows any complete reply, whatever its status (an error
// page's or a redirect's own body is the content; redirects are not
// followed), and a connection the server closed without sending a byte
// (empty content). Error follows when the connection cannot be made, when
// the reply breaks off or is not HTTP, when it is larger than a limit, and
// when it comes packed (a Content-Encoding or packing Transfer-Encoding
// other than identity: no compression is asked for and nothing is unpacked).
// Reading stops and the connection is closed at once at a limit. Closing the
// window ends the request and closes its connection, and no event follows.
class HTTPSocket : public Control {
public:
    explicit HTTPSocket(::Window& window);
    ~HTTPSocket() override;

    // Starts a GET of the URL and returns at once. A request still running
    // is ended first, without an event.
    void Get(const QString& url);

    // The arguments of the event being raised.
    const QString& PageURL() const { return url_; }
    int32_t PageStatus() const { return status_; }
    const InternetHeaders& PageHeaders() const { return headers_; }
    const QString& PageContent() const { return content_; }
    int32_t ErrorCode() const { return errorCode_; }

    void SetProperty(const QString& key, const PropertyValue& value) override;
    void WindowClosed() override;

private:
    struct Transfer;  // the running request, with its libcurl handles

    void Finished(int curlCode);
    void Deliver(int event);
    void Fail(int32_t code);
    void Stop();

    // The object the socket's notifiers, timer and queued events belong to.
    std::unique_ptr<QObject> context_;
    std::unique_ptr<Transfer> transfer_;
    // Counts requests, so that an event queued for an ended one is dropped.
    uint64_t generation_ = 0;
    QString url_;
    int32_t status_ = 0;
    InternetHeaders headers_;
    QString content_;
    int32_t errorCode_ = 0;
};
