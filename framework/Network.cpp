#include "framework/Network.h"

#include "framework/Window.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include <curl/curl.h>

#include <cerrno>
#include <map>
#include <set>
#include <sys/socket.h>

namespace {

// The body as text: in the charset the reply names, else UTF-8. Bytes that
// are not valid in it become replacement characters.
QString Decode(const QByteArray& body, const QString& contentType) {
    QString charset;
    for (const QString& part : contentType.split(QLatin1Char(';'))) {
        const QString p = part.trimmed();
        if (p.startsWith(QLatin1String("charset="), Qt::CaseInsensitive))
            charset = p.mid(8).remove(QLatin1Char('"')).trimmed();
    }
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.toLatin1().constData());
        if (decoder.isValid()) return decoder.decode(body);
    }
    return QString::fromUtf8(body);
}

// A body in a coding other than identity (gzip, deflate, br ...) would have
// to be unpacked to be read, to a size nobody knows beforehand.
bool IsPacked(const InternetHeaders& headers) {
    const QString content = headers.Value(QStringLiteral("Content-Encoding")).trimmed();
    if (!content.isEmpty() && content.compare(QLatin1String("identity"), Qt::CaseInsensitive) != 0) return true;
    for (const QString& coding : headers.Value(QStringLiteral("Transfer-Encoding")).split(QLatin1Char(','))) {
        const QString c = coding.trimmed().toLower();
        if (!c.isEmpty() && c != QLatin1String("chunked") && c != QLatin1String("identity")) return true;
    }
    return false;
}

void InitCurlOnce() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)ready;
}

}  // namespace

QString InternetHeaders::Value(const QString& name) const {
    for (const auto& [n, v] : lines_)
        if (n.compare(name, Qt::CaseInsensitive) == 0) return v;
    return QString();
}

// One GET on a libcurl multi handle of its own, driven from the event loop:
// libcurl names the sockets it waits on (a notifier each) and the time it
// next wants to be called (the timer). Its callbacks only note and count;
// the socket acts once libcurl has returned.
struct HTTPSocket::Transfer {
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    Transfer(HTTPSocket& owner, const QByteArray& url) : owner_(owner) {
        InitCurlOnce();
        timer_ = new QTimer(owner.context_.get());
        timer_->setSingleShot(true);
        QObject::connect(timer_, &QTimer::timeout, &connections_, [this] { Act(CURL_SOCKET_TIMEOUT, 0); });
        errorText_[0] = '\0';

        multi_ = curl_multi_init();
        easy_ = curl_easy_init();
        if (!multi_ || !easy_) return;
        curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &Transfer::OnSocket);
        curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &Transfer::OnTimer);
        curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);

        // No compression is asked for, and libcurl unpacks nothing unless
        // told to (CURLOPT_ACCEPT_ENCODING stays unset).
        requestHeaders_ = curl_slist_append(nullptr, "Accept-Encoding: identity");
        curl_easy_setopt(easy_, CURLOPT_URL, url.constData());
        curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http");
        curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, requestHeaders_);
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy_, CURLOPT_HTTP09_ALLOWED, 0L);
        // Straight to the host of the URL, whatever the environment says.
        curl_easy_setopt(easy_, CURLOPT_PROXY, "");
        // Each check has its connection to itself, closed when it ends.
        curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        // Ending a request while a name is being looked up does not wait for
        // the lookup.
        curl_easy_setopt(easy_, CURLOPT_QUICK_EXIT, 1L);
        curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
        curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
        curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy_, CURLOPT_SOCKOPTFUNCTION, &Transfer::OnConnectionSocket);
        curl_easy_setopt(easy_, CURLOPT_SOCKOPTDATA, this);
        // libcurl asks for its first call through the timer.
        added_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    }

    ~Transfer() {
        // Ends the request at whatever point it is: libcurl closes its
        // connection, and every notifier and the timer are let go.
        if (multi_ && easy_ && added_) curl_multi_remove_handle(multi_, easy_);
        if (easy_) curl_easy_cleanup(easy_);
        if (multi_) curl_multi_cleanup(multi_);
        curl_slist_free_all(requestHeaders_);
        for (auto& [fd, watch] : watches_) Retire(watch);
        timer_->stop();
        timer_->deleteLater();
    }

    bool Started() const { return added_; }

    // A notifier may be the one whose signal is running: it is switched off
    // now and deleted from the event loop.
    static void Retire(Watch& watch) {
        for (QSocketNotifier* n : {watch.read, watch.write}) {
            if (!n) continue;
            n->setEnabled(false);
            n->deleteLater();
        }
        watch = Watch();
    }

    static int OnSocket(CURL*, curl_socket_t fd, int what, void* userp, void*) {
        auto* self = static_cast<Transfer*>(userp);
        auto it = self->watches_.find(fd);
        if (what == CURL_POLL_REMOVE) {
            if (it != self->watches_.end()) {
                Retire(it->second);
                self->watches_.erase(it);
            }
            return 0;
        }
        Watch& watch = self->watches_[fd];
        QObject* context = self->owner_.context_.get();
        if (!watch.read) {
            watch.read = new QSocketNotifier(fd, QSocketNotifier::Read, context);
            QObject::connect(watch.read, &QSocketNotifier::activated, &self->connections_,
                             [self, fd] { self->Act(fd, CURL_CSELECT_IN); });
        }
        if (!watch.write) {
            watch.write = new QSocketNotifier(fd, QSocketNotifier::Write, context);
            QObject::connect(watch.write, &QSocketNotifier::activated, &self->connections_,
                             [self, fd] { self->Act(fd, CURL_CSELECT_OUT); });
        }
        watch.read->setEnabled(what == CURL_POLL_IN || what == CURL_POLL_INOUT);
        watch.write->setEnabled(what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
        return 0;
    }

    static int OnTimer(CURLM*, long timeoutMs, void* userp) {
        auto* self = static_cast<Transfer*>(userp);
        if (timeoutMs < 0)
            self->timer_->stop();
        else
            self->timer_->start(static_cast<int>(timeoutMs));
        return 0;
    }

    // One line of the status line and headers at a time, each whole, with
    // its line end. Returning less than given stops the transfer.
    static size_t OnHeader(char* data, size_t, size_t size, void* userp) {
        auto* self = static_cast<Transfer*>(userp);
        self->headerBytes_ += static_cast<qint64>(size);
        if (self->headerBytes_ > kHTTPHeaderLimit) return self->TooLarge();
        // Lines after the reply's own headers are a chunked body's trailers:
        // counted against the limit, but not the reply's headers.
        if (self->headersDone_) return size;
        const QByteArray line = QByteArray(data, static_cast<qsizetype>(size)).trimmed();
        if (line.startsWith("HTTP/")) {
            // A status line: an interim reply's headers are not the reply's.
            self->headers_ = InternetHeaders();
            self->headersDone_ = false;
        } else if (line.isEmpty()) {
            long status = 0;
            curl_easy_getinfo(self->easy_, CURLINFO_RESPONSE_CODE, &status);
            if (status < 200) return size;  // an interim reply (100 Continue)
            self->headersDone_ = true;
            curl_off_t length = -1;
            curl_easy_getinfo(self->easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            if (length > kHTTPReplyLimit || IsPacked(self->headers_)) return self->TooLarge();
        } else {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                self->headers_.Append(QString::fromLatin1(line.left(colon).trimmed()),
                                      QString::fromLatin1(line.mid(colon + 1).trimmed()));
        }
        return size;
    }

    // The body after any chunking is taken off (nothing is unpacked).
    static size_t OnBody(char* data, size_t, size_t size, void* userp) {
        auto* self = static_cast<Transfer*>(userp);
        if (self->body_.size() + static_cast<qint64>(size) > kHTTPReplyLimit) return self->TooLarge();
        self->body_.append(data, static_cast<qsizetype>(size));
        return size;
    }

    size_t TooLarge() {
        tooLarge_ = true;
        return 0;
    }

    // Lets libcurl act on the socket (or on its timer); when the transfer has
    // ended, the socket takes over, which ends this object.
    void Act(curl_socket_t fd, int flags) {
        // A server that sends something, even a cut status line, has not
        // closed without a reply; libcurl does not tell a partial first line
        // from nothing, so the first byte is looked at before libcurl reads
        // it. Only the connection to the server, once libcurl waits to read
        // from it: a pending connect's error is libcurl's to take, and the
        // resolver's own wake-up socket carries no byte of the reply.
        if (!bytesSeen_ && flags == CURL_CSELECT_IN && IsConnection(fd)) {
            char byte;
            if (::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0) bytesSeen_ = true;
        }
        int running = 0;
        curl_multi_socket_action(multi_, fd, flags, &running);
        int left = 0;
        bool done = false;
        CURLcode result = CURLE_OK;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left))
            if (message->msg == CURLMSG_DONE) {
                done = true;
                result = message->data.result;
            }
        if (done) owner_.Finished(result);  // ends this object: nothing follows
    }

    // The sockets libcurl makes to connect to the server (one for each
    // address it tries), as opposed to the resolver's own.
    static int OnConnectionSocket(void* userp, curl_socket_t fd, curlsocktype) {
        static_cast<Transfer*>(userp)->serverSockets_.insert(fd);
        return CURL_SOCKOPT_OK;
    }
    bool IsConnection(curl_socket_t fd) const { return serverSockets_.count(fd) > 0; }

    HTTPSocket& owner_;
    // The context of the timer's and the notifiers' connections, which call
    // into this object: they end with it, not when the timer and the
    // notifiers are deleted later from the event loop.
    QObject connections_;
    CURLM* multi_ = nullptr;
    CURL* easy_ = nullptr;
    bool added_ = false;
    curl_slist* requestHeaders_ = nullptr;
    QTimer* timer_ = nullptr;
    std::map<curl_socket_t, Watch> watches_;
    char errorText_[CURL_ERROR_SIZE];

    InternetHeaders headers_;
    qint64 headerBytes_ = 0;
    bool headersDone_ = false;
    QByteArray body_;
    bool tooLarge_ = false;
    bool bytesSeen_ = false;
    std::set<curl_socket_t> serverSockets_;
};

HTTPSocket::HTTPSocket(::Window& window) : Control(window), context_(std::make_unique<QObject>()) {}

HTTPSocket::~HTTPSocket() { Stop(); }

void HTTPSocket::Get(const QString& url) {
    Stop();
    ++generation_;
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.scheme() != QLatin1String("http") || address.host().isEmpty()) {
        Fail(kHTTPBadAddress);
        return;
    }
    url_ = address.toString();
    transfer_ = std::make_unique<Transfer>(*this, address.toEncoded());
    if (!transfer_->Started()) Fail(kHTTPOtherError);
}

void HTTPSocket::Finished(int curlCode) {
    Transfer& t = *transfer_;
    int32_t code = 0;  // 0: a page
    long osError = 0;
    long requestSize = 0;
    switch (curlCode) {
    case CURLE_OK:
        if (!t.headersDone_) code = kHTTPBrokenReply;
        break;
    case CURLE_GOT_NOTHING:
        // Closed without a byte: an empty page. Closed inside the status
        // line: a broken reply.
        if (t.bytesSeen_) code = kHTTPBrokenReply;
        break;
    case CURLE_COULDNT_RESOLVE_HOST: code = kHTTPHostNotFound; break;
    case CURLE_COULDNT_CONNECT:
        curl_easy_getinfo(t.easy_, CURLINFO_OS_ERRNO, &osError);
        code = osError == ECONNREFUSED ? kHTTPConnectionRefused : kHTTPUnreachable;
        break;
    case CURLE_OPERATION_TIMEDOUT: code = kHTTPUnreachable; break;
    case CURLE_URL_MALFORMAT: code = kHTTPBadAddress; break;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // After the request went out: the answer was not HTTP (a banner,
        // random bytes).
        curl_easy_getinfo(t.easy_, CURLINFO_REQUEST_SIZE, &requestSize);
        code = requestSize > 0 ? kHTTPBrokenReply : kHTTPBadAddress;
        break;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_BAD_CONTENT_ENCODING: code = kHTTPBrokenReply; break;
    // libcurl's own bound on one header line (100 KiB), below any memory
    // that matters, and a size past a limit.
    case CURLE_OUT_OF_MEMORY:
    case CURLE_FILESIZE_EXCEEDED: code = kHTTPReplyTooLarge; break;
    default: code = kHTTPOtherError; break;
    }
    if (t.tooLarge_) code = kHTTPReplyTooLarge;
    if (code != 0) {
        Fail(code);
        return;
    }
    long status = 0;
    curl_easy_getinfo(t.easy_, CURLINFO_RESPONSE_CODE, &status);
    const InternetHeaders headers = t.headers_;
    const QString content = Decode(t.body_, headers.Value(QStringLiteral("Content-Type")));
    Stop();
    status_ = static_cast<int32_t>(status);
    headers_ = headers;
    content_ = content;
    errorCode_ = 0;
    Deliver(kEventPageReceived);
}

void HTTPSocket::Fail(int32_t code) {
    Stop();
    errorCode_ = code;
    url_.clear();
    status_ = 0;
    headers_ = InternetHeaders();
    content_.clear();
    Deliver(kEventError);
}

void HTTPSocket::Deliver(int event) {
    // Every event of the socket is raised from the event loop, outside of
    // libcurl and of the notifiers, so a handler may run a modal loop or end
    // the request. One queued for an earlier request is dropped.
    const uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        context_.get(), [this, generation, event] { if (generation == generation_) RaiseEvent(event); },
        Qt::QueuedConnection);
}

void HTTPSocket::Stop() { transfer_.reset(); }

void HTTPSocket::WindowClosed() { Stop(); }

void HTTPSocket::SetProperty(const QString& key, const PropertyValue& value) {
    // Address and Port stay unused: the URL of each request names its host
    // and port. "yield" is the platform's; requests never block here.
    Control::SetProperty(key, value);
}
