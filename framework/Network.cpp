#include "framework/Network.h"

#include "framework/Window.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QUrl>

namespace {

// Complete replies whose status Qt reports as an error: their body is the
// page all the same.
bool IsHTTPStatusError(QNetworkReply::NetworkError e) {
    return (e >= QNetworkReply::ContentAccessDenied && e <= QNetworkReply::UnknownContentError) ||
           e == QNetworkReply::ProtocolInvalidOperationError ||
           (e >= QNetworkReply::InternalServerError && e <= QNetworkReply::UnknownServerError);
}

int32_t CodeOf(QNetworkReply::NetworkError e) {
    switch (e) {
    case QNetworkReply::ConnectionRefusedError: return kHTTPConnectionRefused;
    case QNetworkReply::HostNotFoundError: return kHTTPHostNotFound;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError: return kHTTPUnreachable;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProtocolFailure: return kHTTPBrokenReply;
    case QNetworkReply::ProtocolUnknownError: return kHTTPBadAddress;
    default: return kHTTPOtherError;
    }
}

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

}  // namespace

QString InternetHeaders::Value(const QString& name) const {
    for (const auto& [n, v] : lines_)
        if (n.compare(name, Qt::CaseInsensitive) == 0) return v;
    return QString();
}

HTTPSocket::HTTPSocket(::Window& window)
    : Control(window), manager_(std::make_unique<QNetworkAccessManager>()) {
    manager_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

HTTPSocket::~HTTPSocket() { Stop(); }

void HTTPSocket::Get(const QString& url) {
    Stop();
    body_.clear();
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.scheme() != QLatin1String("http") || address.host().isEmpty()) {
        Fail(kHTTPBadAddress);
        return;
    }
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    reply_ = manager_->get(request);
    // Qt reads from the socket only as fast as the body is taken here, so the
    // limit holds for what is kept in memory, not only for what is handed on.
    reply_->setReadBufferSize(64 * 1024);
    QNetworkReply* reply = reply_;
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this, reply] {
        if (reply != reply_) return;
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kHTTPReplyLimit) Fail(kHTTPReplyTooLarge);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, reply] {
        if (reply == reply_) ReadSome();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
        if (reply == reply_) Finished();
    });
}

void HTTPSocket::ReadSome() {
    const qint64 available = reply_->bytesAvailable();
    if (body_.size() + available > kHTTPReplyLimit) {
        Fail(kHTTPReplyTooLarge);
        return;
    }
    body_ += reply_->read(available);
}

void HTTPSocket::Finished() {
    ReadSome();
    if (!reply_) return;  // stopped at the limit
    const QNetworkReply::NetworkError error = reply_->error();
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool answered = status.isValid();
    if (!answered && !(error == QNetworkReply::RemoteHostClosedError && body_.isEmpty())) {
        Fail(CodeOf(error));
        return;
    }
    if (answered && error != QNetworkReply::NoError && !IsHTTPStatusError(error)) {
        Fail(CodeOf(error));
        return;
    }
    // A complete reply, or a connection closed before any answer: its body
    // is empty then.
    const QString url = reply_->url().toString();
    InternetHeaders headers;
    for (const auto& [name, value] : reply_->rawHeaderPairs())
        headers.Append(QString::fromLatin1(name), QString::fromLatin1(value));
    const QString content = Decode(body_, headers.Value(QStringLiteral("Content-Type")));
    const int32_t code = answered ? status.toInt() : 0;
    Stop();
    url_ = url;
    status_ = code;
    headers_ = headers;
    content_ = content;
    errorCode_ = 0;
    QMetaObject::invokeMethod(manager_.get(), [this] { RaiseEvent(kEventPageReceived); },
                              Qt::QueuedConnection);
}

void HTTPSocket::Fail(int32_t code) {
    Stop();
    errorCode_ = code;
    url_.clear();
    status_ = 0;
    headers_ = InternetHeaders();
    content_.clear();
    // Every event of the socket is raised from the event loop, outside of
    // Qt's own signals, so a handler may run a modal loop or end the request.
    QMetaObject::invokeMethod(manager_.get(), [this] { RaiseEvent(kEventError); }, Qt::QueuedConnection);
}

void HTTPSocket::Stop() {
    QNetworkReply* reply = reply_;
    if (!reply) return;
    reply_ = nullptr;
    body_.clear();
    QObject::disconnect(reply, nullptr, nullptr, nullptr);
    reply->abort();
    reply->deleteLater();
    // An aborted HTTP/1.1 request leaves its connection open inside Qt; the
    // server is to see the request end.
    manager_->clearConnectionCache();
}

void HTTPSocket::WindowClosed() { Stop(); }

void HTTPSocket::SetProperty(const QString& key, const PropertyValue& value) {
    // Address and Port stay unused: the URL of each request names its host
    // and port. "yield" is the platform's; requests never block here.
    Control::SetProperty(key, value);
}
