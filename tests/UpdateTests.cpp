// The version window and the update check, driven through the real windows
// against an HTTP server inside the test on 127.0.0.1.
#include "tests/Harness.h"

#include "app/App.h"
#include "app/Startup.h"
#include "framework/Dialogs.h"
#include "framework/Network.h"
#include "framework/Runtime.h"
#include "framework/Window.h"
#include "update/Manifest.h"
#include "update/selfTest.h"
#include "update/updateWindow.h"
#include "windows/password/Window1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QHostInfo>
#include <ctime>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <QFile>
#include <functional>
#include <map>
#include <zlib.h>

using namespace harness;

namespace {

const QString kRequestLine = QStringLiteral("GET /Updates/morvellan.xml HTTP/1.1");
const QString kCurrentText = QStringLiteral("You are using the current version. No update is available.");
const QString kFreeEnd = QStringLiteral("Would you like to automatically download this update (using your web browser)?");
const QString kPaidEnd =
    QStringLiteral("Would you like to automatically download the trial version (using your web browser)?");

QString ErrorText(int code) {
    return QStringLiteral("There was a communication error with the website. Please try again later. (Code: %1)")
        .arg(code);
}

QString UpgradeText(const QString& version, bool free) {
    return QStringLiteral("Version %1 is now available. (You are using version 1.1.0.) %2 %3")
        .arg(version, free ? QStringLiteral("This is a free upgrade.") : QStringLiteral("This is a paid upgrade."),
             free ? kFreeEnd : kPaidEnd);
}

// ---- Manifest values and the version test ---------------------------------

TEST(Manifest, TagsAndValues) {
    EXPECT_EQ(updateWindow::startTag("Free"), "<Free>");
    EXPECT_EQ(updateWindow::endTag("Free"), "</Free>");
    struct Case {
        const char* text;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\"?><M><CurrentVersion>1.2.0</CurrentVersion></M>", "CurrentVersion", "1.2.0"},
        {"<CurrentVersion> 1.2.0\n</CurrentVersion>", "CurrentVersion", " 1.2.0\n"},  // nothing trimmed
        {"<CurrentVersion></CurrentVersion>", "CurrentVersion", ""},
        {"<currentversion>1.2</CURRENTVERSION>", "CurrentVersion", "1.2"},          // case ignored
        {"<Description>first</Description><Description>second</Description>", "Description", "first"},
        {"</Description>x<Description>first</Description>", "Description", "first"},  // earlier close skipped
        {"<Description>a <b>b</b> &amp;</Description>", "Description", "a <b>b</b> &amp;"},
        {"<Free>Yes</Free><Description>d</Description>", "Description", "d"},        // order does not matter
        {"<Free>Yes", "Free", ""},                                                   // no closing tag
        {"<html><body>404 Not Found</body></html>", "Free", ""},                     // no element at all
        {"", "CurrentVersion", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(updateWindow::returnValue(QString::fromUtf8(c.text), QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.value))
            << c.text;
}

TEST(Manifest, VersionTestAgainstTheRunningVersion) {
    Startup::EarlyStartup();
    ASSERT_EQ(App::Instance()->ShortVersion(), "1.1.0");
    struct Case {
        const char* version;
        bool current;
    };
    const Case cases[] = {
        {"1.1.0", true},   {"1.1.0.7", true},  {"1.1", true},     {"01.1.00", true},
        {"1.1.0\n", true},  // a line end after a number is ignored by the conversion
        {"1.1.1", false},  {"1.2.0", false},   {"2.0.0", false},  {"1.0.9", false},
        {"", false},       {" 1.1.0", false},  {"one", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Manifest::VersionIsCurrent(QString::fromUtf8(c.version)), c.current) << c.version;

    struct FreeCase {
        const char* value;
        bool free;
    };
    const FreeCase frees[] = {{"Yes", true}, {"YES", true}, {"yes", true}, {"Yes ", false},
                              {"Yes\n", false}, {"No", false}, {"", false}};
    for (const FreeCase& c : frees) EXPECT_EQ(Manifest::IsFreeUpgrade(QString::fromUtf8(c.value)), c.free) << c.value;
}

// ---- Test server ----------------------------------------------------------

// What the server sends once it has read a request: a head at once, then
// pieces made one at a time as the socket drains (so that a reply of a
// gigabyte never lies in memory here), then bytes one at a time at a pace.
struct Script {
    Script(QByteArray head = {}, std::function<QByteArray()> more = nullptr, QByteArray trickle = {},
           int trickleMs = 1000, bool close = true)
        : head(std::move(head)), more(std::move(more)), trickle(std::move(trickle)), trickleMs(trickleMs),
          close(close) {}
    QByteArray head;
    std::function<QByteArray()> more;  // the next piece; empty: no more
    QByteArray trickle;
    int trickleMs;
    bool close;  // closes the connection after the last byte
};

// `count` times the piece, then the tail, made as they are asked for.
std::function<QByteArray()> Repeat(const QByteArray& piece, qint64 count, const QByteArray& tail = QByteArray()) {
    auto left = std::make_shared<qint64>(count);
    auto tailLeft = std::make_shared<bool>(!tail.isEmpty());
    return [=]() -> QByteArray {
        if (*left > 0) {
            --*left;
            return piece;
        }
        if (*tailLeft) {
            *tailLeft = false;
            return tail;
        }
        return QByteArray();
    };
}

// Serves every request on 127.0.0.1 by its script and records what it saw.
class TestServer {
public:
    enum class Mode { Reply, CloseAtOnce, Silent };

    TestServer(Mode mode, QByteArray reply = QByteArray())
        : TestServer(Script{std::move(reply), nullptr, QByteArray(), 0, mode != Mode::Silent}) {}

    // Listens on the given address, and the maker's site is `host` with
    // the server's port.
    explicit TestServer(Script script, const QHostAddress& address = QHostAddress(QHostAddress::LocalHost),
                        const QByteArray& host = "127.0.0.1")
        : script_(std::move(script)) {
        if (!server_.listen(address, 0)) qFatal("cannot listen");
        qputenv("MORVELLAN_SITE", host + ":" + QByteArray::number(server_.serverPort()));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) Serve(socket);
        });
    }

    QStringList requestLines;
    int disconnects = 0;
    qint64 trickled = 0;  // bytes of the trickle sent

private:
    void Serve(QTcpSocket* socket) {
        auto received = std::make_shared<QByteArray>();
        auto done = std::make_shared<bool>(false);
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket, done] {
            ++disconnects;
            *done = true;
            socket->deleteLater();
        });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received, done] {
            *received += socket->readAll();
            if (!received->contains("\r\n\r\n")) return;
            requestLines << QString::fromLatin1(received->left(received->indexOf("\r\n")));
            received->clear();
            socket->write(script_.head);
            // Keeps a few pieces in flight, no more.
            auto pump = [this, socket, done] {
                while (!*done && script_.more && socket->bytesToWrite() < 256 * 1024) {
                    const QByteArray piece = script_.more();
                    if (piece.isEmpty()) {
                        script_.more = nullptr;
                        break;
                    }
                    socket->write(piece);
                }
                if (!*done && !script_.more && script_.trickle.isEmpty() && script_.close) {
                    *done = true;
                    socket->disconnectFromHost();
                }
            };
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
            if (script_.trickle.isEmpty()) {
                pump();
                return;
            }
            auto* timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, [this, socket, timer, pump] {
                if (trickled == script_.trickle.size()) {
                    timer->stop();
                    script_.trickle.clear();
                    pump();
                    return;
                }
                socket->write(script_.trickle.mid(trickled++, 1));
            });
            timer->start(script_.trickleMs);
            socket->write(script_.trickle.mid(trickled++, 1));
        });
    }

    QTcpServer server_;
    Script script_;
};

// The program's resident memory at its peak, from /proc, since Start.
class PeakMemory {
public:
    void Start() {
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        // 5 sets the peak back to the present resident size.
        if (!reset.open(QIODevice::WriteOnly) || reset.write("5") != 1) ADD_FAILURE() << "cannot reset the peak";
        reset.close();
        start_ = Kb("VmRSS:");
    }
    qint64 GrowthKb() const { return Kb("VmHWM:") - start_; }

private:
    static qint64 Kb(const char* field) {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly)) return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(field)) return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
        return -1;
    }
    qint64 start_ = 0;
};

// "Within a few MB": the update window and its boxes, and at most a reply's
// worth of body.
constexpr qint64 kMemoryGrowthLimitKb = 8 * 1024;

QByteArray Reply(const QByteArray& statusLine, const QByteArray& body, const QByteArray& moreHeaders = "") {
    return "HTTP/1.1 " + statusLine + "\r\nContent-Type: text/xml\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n" + moreHeaders + "Connection: close\r\n\r\n" + body;
}

// Header lines of a kilobyte each.
QByteArray HeaderLines(int count) {
    QByteArray lines;
    for (int i = 0; i < count; ++i) lines += "X-Line-" + QByteArray::number(i) + ": " + QByteArray(1000, 'h') + "\r\n";
    return lines;
}

// A gzip stream of `size` bytes of one kind, packed a megabyte at a time.
QByteArray Gzip(char byte, qint64 size) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) qFatal("zlib");
    const QByteArray input(1024 * 1024, byte);
    QByteArray out;
    char buffer[64 * 1024];
    for (qint64 left = size; left >= 0; left -= input.size()) {
        const bool last = left <= input.size();
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
        z.avail_in = static_cast<uInt>(last ? left : input.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, static_cast<qsizetype>(sizeof buffer - z.avail_out));
        } while (z.avail_out == 0);
        if (last) break;
    }
    deflateEnd(&z);
    return out;
}

QByteArray ManifestFor(const QByteArray& version, const QByteArray& free, const QByteArray& description) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MorvellanUpdate>\n  <Free>" + free +
           "</Free>\n  <CurrentVersion>" + version + "</CurrentVersion>\n  <Description>" + description +
           "</Description>\n</MorvellanUpdate>\n";
}

// ---- Driving the check ----------------------------------------------------

// The addresses handed to the browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    QStringList urls;

public slots:
    void open(const QUrl& url) { urls << url.toString(); }
};

QStringList OpenWindowNames() {
    QStringList names;
    for (const auto& w : OpenWindows()) names << w->FullName();
    names.sort();
    return names;
}

// A modal box as it was shown, with the state of the update window then.
struct Box : harness::Seen {
    int beeps = 0;
    QString label;          // the update window's label
    bool barVisible = false;
    QStringList windows;
};

// Answers the modal boxes in order by pressing the button of that caption,
// noting for each what the update window showed meanwhile.
class Answers {
public:
    explicit Answers(const QStringList& presses)
        : answers_(std::vector<QString>(presses.begin(), presses.end()), [this](const harness::Seen& seen) {
              Box b;
              static_cast<harness::Seen&>(b) = seen;
              b.beeps = BeepCount();
              if (auto w = OpenWindowOf<updateWindow>()) {
                  b.label = w->StaticText1()->Text();
                  b.barVisible = w->ProgressBar1()->NativeWidget()->isVisible();
              }
              b.windows = OpenWindowNames();
              boxes.push_back(b);
          }) {}
    std::vector<Box> boxes;
    QStringList texts() const { return answers_.texts(); }

private:
    harness::ModalAnswers answers_;
};

// Runs the action once the condition holds (polled from the event loop).
class When {
public:
    When(std::function<bool()> condition, std::function<void()> action)
        : condition_(std::move(condition)), action_(std::move(action)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (!condition_()) return;
            timer_.stop();
            action_();
        });
        timer_.start(5);
    }

private:
    std::function<bool()> condition_;
    std::function<void()> action_;
    QTimer timer_;
};

// Ends a check that never ends, so that a fault fails the test instead of
// hanging it.
class Watchdog {
public:
    Watchdog() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            ADD_FAILURE() << "the check did not end";
            Quit(1);
        });
        timer_.start(30000);
    }

private:
    QTimer timer_;
};

// From the password window: "Check Now", then "Check for Updates", which
// returns once the update window has closed. The memory is measured from
// just before the button.
void RunCheck(PeakMemory* memory = nullptr) {
    Launch();
    ChooseMenuItem(OpenWindow1(), QStringLiteral("CheckforUpdateCheckNow"));
    auto version = OpenWindowOf<selfTest>();
    ASSERT_TRUE(version);
    Watchdog watchdog;
    if (memory) memory->Start();
    QTest::mouseClick(version->PushButton1()->NativeWidget(), Qt::LeftButton);
    EXPECT_FALSE(version->IsOpen());
}

const QStringList kOnlyPasswordWindow = {QStringLiteral("Window1.Window1")};

// ---- End to end -----------------------------------------------------------

struct CheckCase {
    const char* name;
    TestServer::Mode mode;
    QByteArray reply;
    QStringList presses;
    QStringList texts;      // of the boxes, in order
    QString explanation;    // of the first box
    QStringList urls;       // handed to the browser
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class UpdateCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(UpdateCheck, ShowsItsOutcomeAndCloses) {
    const CheckCase& c = GetParam();
    TestServer server(c.mode, c.reply);
    UrlCatcher catcher;
    Answers answers(c.presses);
    PeakMemory memory;
    RunCheck(&memory);

    EXPECT_EQ(answers.texts(), c.texts);
    if (!answers.boxes.empty()) {
        EXPECT_EQ(answers.boxes[0].explanation, c.explanation);
        EXPECT_EQ(answers.boxes[0].beeps, 0) << "no beep";
    }
    EXPECT_EQ(catcher.urls, c.urls);
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
    EXPECT_EQ(server.requestLines, QStringList({kRequestLine}));
    EXPECT_EQ(BeepCount(), 0);
    EXPECT_LE(memory.GrowthKb(), kMemoryGrowthLimitKb);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UpdateCheck,
    ::testing::Values(
        CheckCase{"Current", TestServer::Mode::Reply, Reply("200 OK", ManifestFor("1.1.0", "Yes", "Same.")),
                  {"OK"}, {kCurrentText}, "", {}},
        CheckCase{"NewerPaidCancel", TestServer::Mode::Reply, Reply("200 OK", ManifestFor("2.0.0", "Yes ", "New.")),
                  {"Cancel"}, {UpgradeText("2.0.0", false)}, "New.", {}},
        CheckCase{"OlderIsOfferedToo", TestServer::Mode::Reply, Reply("200 OK", ManifestFor("1.0.9", "no", "")),
                  {"Cancel"}, {UpgradeText("1.0.9", false)}, "", {}},
        // An error page is read like a manifest: no version in it.
        CheckCase{"Html404", TestServer::Mode::Reply,
                  Reply("404 Not Found", "<html><body><h1>Not Found</h1></body></html>"), {"Cancel"},
                  {UpgradeText("", false)}, "", {}},
        // The redirect's own body is the content; its target is never asked for.
        CheckCase{"RedirectNotFollowed", TestServer::Mode::Reply,
                  Reply("301 Moved Permanently", ManifestFor("1.1.0", "Yes", ""),
                        "Location: /Elsewhere/morvellan.xml\r\n"),
                  {"OK"}, {kCurrentText}, "", {}},
        // Every complete reply is a page, whatever its status.
        CheckCase{"ProxyAuthenticationRequired", TestServer::Mode::Reply,
                  Reply("407 Proxy Authentication Required", ManifestFor("1.1.0", "Yes", ""),
                        "Proxy-Authenticate: Basic realm=\"x\"\r\n"),
                  {"OK"}, {kCurrentText}, "", {}},
        CheckCase{"Chunked", TestServer::Mode::Reply,
                  "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n<CurrentVersion>\r\n"
                  "16\r\n1.1.0</CurrentVersion>\r\n0\r\n\r\n",
                  {"OK"}, {kCurrentText}, "", {}},
        CheckCase{"HeadersJustUnderTheLimit", TestServer::Mode::Reply,
                  Reply("200 OK", ManifestFor("1.1.0", "Yes", ""), HeaderLines(60)), {"OK"}, {kCurrentText}, "", {}},
        CheckCase{"EmptyBody", TestServer::Mode::Reply, Reply("200 OK", ""), {}, {}, "", {}},
        CheckCase{"ClosedWithoutReply", TestServer::Mode::CloseAtOnce, "", {}, {}, "", {}}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

// The download address holds the server's port: filled in by the test.
TEST(UpdateCheckUpgrade, ActionButtonOpensTheDownloadPage) {
    TestServer server(TestServer::Mode::Reply, Reply("200 OK", ManifestFor("1.2.0", "YES", "Faster.")));
    UrlCatcher catcher;
    Answers answers({"OK"});
    RunCheck();
    ASSERT_EQ(answers.boxes.size(), 1u);
    const Box& b = answers.boxes[0];
    EXPECT_EQ(b.title, "New version available!");
    EXPECT_EQ(b.text, UpgradeText("1.2.0", true));
    EXPECT_EQ(b.explanation, "Faster.");
    EXPECT_EQ(b.icon, QMessageBox::Question);
    QStringList buttons = b.buttons;
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Cancel", "Go to Website", "OK"}));
    EXPECT_EQ(b.defaultButton, "OK");
    EXPECT_EQ(b.label, "Checking for updates...");
    EXPECT_FALSE(b.barVisible);
    EXPECT_EQ(b.windows, QStringList({"Window1.Window1", "updateWindow.updateWindow"}));
    const QString site = QString::fromLatin1(qgetenv("MORVELLAN_SITE"));
    EXPECT_EQ(catcher.urls, QStringList({"http://" + site + "/Downloads/"}));
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

TEST(UpdateCheckUpgrade, GoToWebsiteLeavesTheWindowUntilCancel) {
    TestServer server(TestServer::Mode::Reply, Reply("200 OK", ManifestFor("1.2.0", "Yes", "")));
    UrlCatcher catcher;
    Answers answers({"Go to Website"});
    QStringList windowsBetween;
    QString labelBetween;
    bool barBetween = true;
    When cancel(
        [&] {
            auto w = OpenWindowOf<updateWindow>();
            return answers.boxes.size() == 1 && w && QApplication::activeModalWidget() == w->NativeWindow();
        },
        [&] {
            auto w = OpenWindowOf<updateWindow>();
            windowsBetween = OpenWindowNames();
            labelBetween = w->StaticText1()->Text();
            barBetween = w->ProgressBar1()->NativeWidget()->isVisible();
            QTest::keyClick(w->Content(), Qt::Key_Return);
        });
    RunCheck();
    const QString site = QString::fromLatin1(qgetenv("MORVELLAN_SITE"));
    EXPECT_EQ(catcher.urls, QStringList({"http://" + site}));
    EXPECT_EQ(windowsBetween, QStringList({"Window1.Window1", "updateWindow.updateWindow"}));
    EXPECT_EQ(labelBetween, "Checking for updates...");
    EXPECT_FALSE(barBetween);
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

TEST(UpdateCheckUpgrade, ServerTextIsShownLiterally) {
    const QByteArray html = "<b>Bold</b> <a href=\"http://127.0.0.1:1/x\">link</a> <img src=\"x.png\"> &lt;";
    TestServer server(TestServer::Mode::Reply, Reply("200 OK", ManifestFor("<i>2.0</i>", "No", html)));
    UrlCatcher catcher;
    Answers answers({"Cancel"});
    RunCheck();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].text, UpgradeText("<i>2.0</i>", false));
    EXPECT_EQ(answers.boxes[0].explanation, QString::fromUtf8(html));
    EXPECT_TRUE(answers.boxes[0].plainText) << "markup in the reply is not interpreted";
    EXPECT_TRUE(catcher.urls.isEmpty());
}

// ---- Long texts in the upgrade dialog --------------------------------------

// Runs the calling test again in a process of its own whose offscreen screen
// has the given size, unless this process has that screen already. True when
// this process is to run the test itself.
bool RunsOnScreenOf(const QSize& size) {
    if (QGuiApplication::primaryScreen()->size() == size) return true;
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write the screen's configuration");
    file.write(QStringLiteral(R"({"screens": [{"name": "screen", "width": %1, "height": %2}]})")
                   .arg(size.width())
                   .arg(size.height())
                   .toUtf8());
    file.close();
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    EXPECT_TRUE(child.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
    return false;
}

// `count` numbered lines of 42 characters (30 of them make 1.3 KB).
QByteArray Lines(int count) {
    QByteArray lines;
    for (int i = 1; i <= count; ++i)
        lines += "Line " + QByteArray::number(i).rightJustified(2, '0') + ": what is new in this version, why." +
                 (i < count ? "\n" : "");
    return lines;
}

// "line 1" to "line <count>", one a line.
QByteArray ShortLines(int count) {
    QByteArray lines;
    for (int i = 1; i <= count; ++i) lines += "line " + QByteArray::number(i) + (i < count ? "\n" : "");
    return lines;
}

// The beginning of the text that fills the reply with version 2.0.0 up to
// its limit.
QByteArray FillingTheReply(const QByteArray& text) {
    return text.left(kHTTPReplyLimit - ManifestFor("2.0.0", "Yes", "").size());
}

// A style with more room around everything and a larger icon than the
// platform's own.
class RoomyStyle : public QProxyStyle {
public:
    RoomyStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        switch (metric) {
        case PM_MessageBoxIconSize: return 128;
        case PM_LayoutLeftMargin:
        case PM_LayoutTopMargin:
        case PM_LayoutRightMargin:
        case PM_LayoutBottomMargin: return 100;
        case PM_LayoutHorizontalSpacing:
        case PM_LayoutVerticalSpacing: return 24;
        default: return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

// What is wrong with the message dialog as shown, one line a fault: the box
// reaches past the screen's free area, a button or a text is hidden or
// outside the box, a label cuts its text, a scrolling text cannot be read
// to its end or reaches past the area's right edge.
QStringList FaultsShown(QDialog& box) {
    QStringList faults;
    const auto rect = [](const QRect& r) {
        return QStringLiteral("%1x%2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
    };
    const QRect free = box.screen()->availableGeometry();
    if (!free.contains(box.frameGeometry()))
        faults << "the box, " + rect(box.frameGeometry()) + ", is not in the free area " + rect(free);
    const QRect inside(box.mapToGlobal(QPoint(0, 0)), box.size());
    const auto inBox = [&](QWidget* w, const QString& what) {
        const QRect at(w->mapToGlobal(QPoint(0, 0)), w->size());
        if (!w->isVisible()) faults << what + " is hidden";
        else if (!inside.contains(at)) faults << what + ", " + rect(at) + ", is outside the box " + rect(inside);
    };
    for (QAbstractButton* b : box.findChildren<QAbstractButton*>()) inBox(b, "the button " + b->text());
    if (auto* icon = box.findChild<QLabel*>(QString::fromLatin1(kMessageIconName))) {
        inBox(icon, "the icon");
        const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
        if (icon->size() != QSize(size, size)) faults << "the icon is not of the style's size";
    }
    for (QLabel* label : box.findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty()) continue;
        inBox(label, "a label");
        if (label->minimumSizeHint().width() > label->width() ||
            label->heightForWidth(label->width()) > label->height())
            faults << QStringLiteral("a label of %1 needs %2 wide, %3 high")
                          .arg(rect(label->rect()))
                          .arg(label->minimumSizeHint().width())
                          .arg(label->heightForWidth(label->width()));
    }
    for (QPlainTextEdit* area : box.findChildren<QPlainTextEdit*>()) {
        if (!area->isVisible()) continue;
        inBox(area, "an area");
        if (area->horizontalScrollBar()->maximum() > 0) faults << "an area's text reaches past its right edge";
        // The End key scrolls to the last line.
        QTest::keyClick(area, Qt::Key_End);
        QTextCursor end(area->document());
        end.movePosition(QTextCursor::End);
        if (!area->viewport()->rect().contains(area->cursorRect(end))) faults << "an area's end is out of view";
        QTest::keyClick(area, Qt::Key_Home);
    }
    return faults;
}

enum class Shown { Label, Area };

struct LongTextCase {
    const char* name;
    QSize screen;  // empty: the offscreen platform's own (800 x 800)
    QByteArray version;
    QByteArray description;
    Shown message, explanation;
    // The style changes while the dialog is shown, and then each text is in
    // these.
    bool restyled = false;
    Shown messageRestyled = Shown::Label, explanationRestyled = Shown::Label;
};

void PrintTo(const LongTextCase& c, std::ostream* os) { *os << c.name; }

class UpgradeDialogText : public ::testing::TestWithParam<LongTextCase> {};

// Whatever its length, the dialog shows the whole message and the whole
// description, a text that fits in a label and one that does not in an area
// that scrolls, fits the free area of its screen, its buttons on it; so
// also once the style has changed under it.
TEST_P(UpgradeDialogText, IsShownWholeWithTheDialogOnTheScreen) {
    const LongTextCase& c = GetParam();
    if (!c.screen.isEmpty() && !RunsOnScreenOf(c.screen)) return;
    ASSERT_LE(ManifestFor(c.version, "Yes", c.description).size(), kHTTPReplyLimit);
    TestServer server(TestServer::Mode::Reply, Reply("200 OK", ManifestFor(c.version, "Yes", c.description)));
    qint64 ms = -1;
    QSize free;
    QStringList faults, faultsRestyled;
    std::map<QString, Shown> parts, partsRestyled;
    harness::Seen seenRestyled;
    const auto partsOf = [](QDialog& box) {
        std::map<QString, Shown> in;
        for (const char* name : {kMessageLabelName, kExplanationLabelName})
            if (auto* label = box.findChild<QLabel*>(QString::fromLatin1(name)); label && label->isVisible())
                in[QString::fromLatin1(name)] = Shown::Label;
        for (const auto& [area, label] : {std::pair{kMessageAreaName, kMessageLabelName},
                                          std::pair{kExplanationAreaName, kExplanationLabelName}})
            if (auto* edit = box.findChild<QPlainTextEdit*>(QString::fromLatin1(area)); edit && edit->isVisible())
                in[QString::fromLatin1(label)] = Shown::Area;
        return in;
    };
    // The processor time the run spent, not the wall clock: a machine busy
    // with other work makes no dialog slow.
    const std::clock_t started = std::clock();
    harness::ModalAnswers answers({"Cancel"}, [&](const harness::Seen&) {
        ms = qint64(std::clock() - started) * 1000 / CLOCKS_PER_SEC;
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        free = box->screen()->availableGeometry().size();
        faults = FaultsShown(*box);
        parts = partsOf(*box);
        if (!c.restyled) return;
        QApplication::setStyle(new RoomyStyle);
        Wait(50);
        faultsRestyled = FaultsShown(*box);
        partsRestyled = partsOf(*box);
        seenRestyled = harness::Shown(*box);
    });
    RunCheck();
    ASSERT_EQ(answers.seen().size(), 1u);
    const harness::Seen& seen = answers.seen()[0];
    const QString message = UpgradeText(QString::fromLatin1(c.version), true);
    EXPECT_TRUE(seen.text == message) << "shown " << seen.text.size() << " of " << message.size() << " characters";
    EXPECT_TRUE(seen.explanation.toUtf8() == c.description)
        << "shown " << seen.explanation.size() << " of " << c.description.size() << " characters";
    EXPECT_TRUE(seen.plainText);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    QStringList buttons = seen.buttons;
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Cancel", "Go to Website", "OK"}));
    EXPECT_EQ(seen.defaultButton, "OK");
    if (!c.screen.isEmpty()) {
        EXPECT_EQ(free, c.screen);
    }
    const std::map<QString, Shown> expected = {{kMessageLabelName, c.message}, {kExplanationLabelName, c.explanation}};
    EXPECT_EQ(parts, expected) << "each text in a label or an area";
    EXPECT_EQ(faults.join('\n').toStdString(), "");
    if (c.restyled) {
        EXPECT_EQ(faultsRestyled.join('\n').toStdString(), "") << "after the style changed";
        const std::map<QString, Shown> restyled = {{kMessageLabelName, c.messageRestyled},
                                                   {kExplanationLabelName, c.explanationRestyled}};
        EXPECT_EQ(partsRestyled, restyled) << "after the style changed";
        EXPECT_TRUE(seenRestyled.text == seen.text && seenRestyled.explanation == seen.explanation);
        EXPECT_EQ(seenRestyled.icon, QMessageBox::Question) << "the new style's icon";
        EXPECT_EQ(seenRestyled.buttons, seen.buttons);
        EXPECT_EQ(seenRestyled.defaultButton, "OK");
    }
    // Laid out in a label, a megabyte froze the program for many seconds;
    // wrapped at word boundaries, a word of a megabyte for most of a minute.
    // A megabyte shows in about 1.1 s on an idle machine, and up to 2.5 s of
    // processor time while every core runs other tests: the bound catches
    // the freeze, not a busy machine.
    EXPECT_LT(ms, 10000) << "processor time from the start to the dialog";
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

// A message that the version makes long: one word of that many digits, or
// that many words.
QByteArray LongVersion(int digits) { return "2." + QByteArray(digits, '9') + ".7"; }
QByteArray VersionOfWords(int words) { return QByteArray("2.0 beta").repeated(words); }

const QByteArray kShort = "Free upgrade.";

INSTANTIATE_TEST_SUITE_P(
    Texts, UpgradeDialogText,
    ::testing::Values(
        LongTextCase{"ThirtyLines", QSize(1280, 1024), "2.0.0", Lines(30), Shown::Label, Shown::Label},
        // Under what a label can hold, but too tall for the box on this
        // screen once laid out.
        LongTextCase{"FiftyLinesOnTheSmallerScreen", QSize(), "2.0.0", Lines(50), Shown::Label, Shown::Area},
        LongTextCase{"LinesUpToTheReplyLimit", QSize(1280, 1024), "2.0.0", FillingTheReply(ShortLines(150000)),
                     Shown::Label, Shown::Area},
        LongTextCase{"LinesUpToTheReplyLimitOn1024x700", QSize(1024, 700), "2.0.0",
                     FillingTheReply(ShortLines(150000)), Shown::Label, Shown::Area},
        LongTextCase{"OneWordUpToTheReplyLimit", QSize(), "2.0.0", FillingTheReply(QByteArray(kHTTPReplyLimit, 'x')),
                     Shown::Label, Shown::Area},
        // A word wider than a label, in either text.
        LongTextCase{"AddressOf200Characters", QSize(), "2.0.0",
                     "Details: http://downloads.example.invalid/" + QByteArray(160, 'a') + " (mirror).", Shown::Label,
                     Shown::Area},
        LongTextCase{"WordOf20000CharactersInTheDescription", QSize(), "2.0.0",
                     "Details: http://downloads.example.invalid/" + QByteArray(20000, 'a'), Shown::Label, Shown::Area},
        LongTextCase{"WordOf20000CharactersInTheVersion", QSize(), LongVersion(20000), kShort, Shown::Area,
                     Shown::Label},
        // A long message leaves a short explanation in its label.
        LongTextCase{"ManyWordsAndAShortExplanation", QSize(), VersionOfWords(400), kShort, Shown::Area, Shown::Label},
        LongTextCase{"HugeVersionAndAShortExplanation", QSize(), LongVersion(600000), kShort, Shown::Area,
                     Shown::Label},
        // A version too long for its label, and a description that its
        // label could hold on this screen, but not below the version's area.
        LongTextCase{"HugeVersionAndFortyNineLines", QSize(), LongVersion(600000), Lines(49), Shown::Area,
                     Shown::Area},
        // A version of 600,000 digits and a description of 20,000 lines.
        LongTextCase{"HugeVersionAndDescription", QSize(), LongVersion(600000),
                     "first line\n" + ShortLines(20000) + "\nlast line", Shown::Area, Shown::Area},
        // The new style's room pushes the description out of its label.
        LongTextCase{"ThirtyLinesRestyled", QSize(1024, 700), "2.0.0", Lines(30), Shown::Label, Shown::Label, true,
                     Shown::Label, Shown::Area},
        LongTextCase{"LongWordsRestyled", QSize(1024, 700), LongVersion(20000), kShort, Shown::Area, Shown::Label,
                     true, Shown::Area, Shown::Label},
        LongTextCase{"AreasRestyled", QSize(1024, 700), "2.0.0", Lines(200), Shown::Label, Shown::Area, true,
                     Shown::Label, Shown::Area}),
    [](const ::testing::TestParamInfo<LongTextCase>& info) { return std::string(info.param.name); });

TEST(UpdateCheckCurrent, LabelAndBarWhileTheBoxIsShown) {
    TestServer server(TestServer::Mode::Reply, Reply("200 OK", ManifestFor("1.1", "Yes", "")));
    Answers answers({"OK"});
    RunCheck();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].text, kCurrentText);
    EXPECT_EQ(answers.boxes[0].label, "This version is current.");
    EXPECT_FALSE(answers.boxes[0].barVisible);
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

TEST(UpdateCheckCurrent, AutomaticCheckShowsNoBox) {
    TestServer server(TestServer::Mode::Reply, Reply("200 OK", ManifestFor("1.1.0", "Yes", "")));
    Answers none({});
    Launch();
    Watchdog watchdog;
    auto w = updateWindow::Instance();
    w->automaticCheck = true;
    w->ShowModal();
    EXPECT_TRUE(none.boxes.empty());
    EXPECT_FALSE(w->IsOpen());
    EXPECT_EQ(w->StaticText1()->Text(), "This version is current.");
    EXPECT_EQ(server.requestLines, QStringList({kRequestLine}));
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

TEST(UpdateCheckErrors, ClosedPortBeepsThenReportsTheCode) {
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        qputenv("MORVELLAN_SITE", QByteArray("127.0.0.1:") + QByteArray::number(probe.serverPort()));
    }
    Answers answers({"OK"});
    RunCheck();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].text, ErrorText(kHTTPConnectionRefused));
    EXPECT_EQ(answers.boxes[0].beeps, 1) << "one beep, before the message";
    EXPECT_EQ(answers.boxes[0].label, "Checking for updates...");
    EXPECT_TRUE(answers.boxes[0].barVisible);
    EXPECT_EQ(BeepCount(), 1);
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

// A name on the reserved .invalid domain never resolves.
TEST(UpdateCheckErrors, UnknownHostReportsItsCode) {
    qputenv("MORVELLAN_SITE", "nohost.invalid");
    Answers answers({"OK"});
    RunCheck();
    EXPECT_EQ(answers.texts(), QStringList({ErrorText(kHTTPHostNotFound)}));
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

// A host given by name goes through the resolver, whose own wake-up socket
// must not count as the server having sent something: a server that closes
// without a word is still an empty page, which closes the window silently.
// The machine's own name is used, where it names a loopback address.
TEST(UpdateCheckErrors, NamedHostClosedWithoutReplyIsAnEmptyPage) {
    const QString name = QHostInfo::localHostName();
    QHostAddress address;
    for (const QHostAddress& a : QHostInfo::fromName(name).addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && a.isLoopback()) address = a;
    if (address.isNull()) GTEST_SKIP() << "this machine's name is not a loopback address";
    TestServer server(Script{QByteArray(), nullptr, QByteArray(), 0, true}, address, name.toUtf8());
    Answers answers({});
    RunCheck();
    EXPECT_EQ(answers.texts(), QStringList());
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
    EXPECT_EQ(server.requestLines, QStringList({kRequestLine}));
}

TEST(UpdateCheckErrors, OversizedReplyIsStoppedAtTheLimit) {
    // A manifest that would be current, buried in 5 MiB: never read whole.
    QByteArray body = ManifestFor("1.1.0", "Yes", "");
    body += QByteArray(5 * 1024 * 1024, 'x');
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "with Content-Length" : "without Content-Length");
        const QByteArray reply = announced ? Reply("200 OK", body)
                                           : "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n" + body;
        TestServer server(TestServer::Mode::Reply, reply);
        Answers answers({"OK"});
        if (announced) {
            RunCheck();
        } else {
            // Second round from the already open password window.
            ChooseMenuItem(OpenWindow1(), QStringLiteral("CheckforUpdateCheckNow"));
            Watchdog watchdog;
            QTest::mouseClick(OpenWindowOf<selfTest>()->PushButton1()->NativeWidget(), Qt::LeftButton);
        }
        EXPECT_EQ(answers.texts(), QStringList({ErrorText(kHTTPReplyTooLarge)}));
        EXPECT_EQ(server.requestLines, QStringList({kRequestLine}));
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.disconnects == 1; }, 10000))
            << "the connection is closed at the limit";
        EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
    }
}

TEST(UpdateCheckErrors, ReplyOfExactlyTheLimitIsRead) {
    QByteArray body = ManifestFor("1.1.0", "Yes", "");
    body += QByteArray(kHTTPReplyLimit - body.size(), ' ');
    TestServer server(TestServer::Mode::Reply, Reply("200 OK", body));
    Answers answers({"OK"});
    RunCheck();
    EXPECT_EQ(answers.texts(), QStringList({kCurrentText}));
}

TEST(UpdateCheckErrors, BodyShorterThanAnnouncedIsACommunicationError) {
    TestServer server(TestServer::Mode::Reply,
                      "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nConnection: close\r\n\r\n" +
                          ManifestFor("1.1.0", "Yes", ""));
    Answers answers({"OK"});
    RunCheck();
    EXPECT_EQ(answers.texts(), QStringList({ErrorText(kHTTPBrokenReply)}));
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

// ---- A hostile server ------------------------------------------------------

// Each reply ends in one box, after one request, with the memory flat and the
// connection closed: the limits hold for all the server sends, not only for
// a body it announces.
struct HostileCase {
    const char* name;
    std::function<Script()> script;
    int code;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

const QByteArray kStatus = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n";
const QByteArray kPiece(64 * 1024, 'x');
constexpr qint64 kMiB = 1024 * 1024;

Script Packed(char byte, qint64 size) {
    const QByteArray body = Gzip(byte, size);
    return {kStatus + "Content-Encoding: gzip\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
            body};
}

class HostileReply : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileReply, EndsInOneCodeWithTheMemoryFlat) {
    const HostileCase& c = GetParam();
    TestServer server(c.script());
    Answers answers({"OK"});
    PeakMemory memory;
    RunCheck(&memory);
    EXPECT_EQ(answers.texts(), QStringList({ErrorText(c.code)}));
    EXPECT_EQ(server.requestLines, QStringList({kRequestLine}));
    EXPECT_LE(memory.GrowthKb(), kMemoryGrowthLimitKb);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.disconnects == 1; }, 10000)) << "the connection is closed";
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HostileReply,
    ::testing::Values(
        HostileCase{"HeaderOf100MiB",
                    [] { return Script{kStatus + "X-Filler: ", Repeat(kPiece, 1600, "\r\n\r\n")}; },
                    kHTTPReplyTooLarge},
        HostileCase{"HeaderLinesPastTheLimit",
                    [] { return Script{kStatus + HeaderLines(70) + "\r\n" + ManifestFor("1.1.0", "Yes", "")}; },
                    kHTTPReplyTooLarge},
        HostileCase{"ChunkAnnouncedAs1GiB",
                    [] {
                        return Script{kStatus + "Transfer-Encoding: chunked\r\n\r\n40000000\r\n",
                                      Repeat(kPiece, 16 * 1024)};
                    },
                    kHTTPReplyTooLarge},
        HostileCase{"Chunked100MiBThenClose",
                    [] {
                        return Script{kStatus + "Transfer-Encoding: chunked\r\n\r\n",
                                      Repeat("10000\r\n" + kPiece + "\r\n", 1600)};
                    },
                    kHTTPReplyTooLarge},
        HostileCase{"Body100MiBUnannounced",
                    [] { return Script{kStatus + "\r\n" + ManifestFor("1.1.0", "Yes", ""), Repeat(kPiece, 1600)}; },
                    kHTTPReplyTooLarge},
        HostileCase{"GzipOf200MiB", [] { return Packed('\0', 200 * kMiB); }, kHTTPReplyTooLarge},
        HostileCase{"GzipOf12MiBOfBlanks", [] { return Packed(' ', 12 * kMiB); }, kHTTPReplyTooLarge},
        HostileCase{"RandomBytes",
                    [] {
                        QByteArray bytes;
                        for (int i = 0; i < 1024; ++i) bytes += static_cast<char>((i * 131 + 7) & 0xFF);
                        return Script{bytes};
                    },
                    kHTTPBrokenReply},
        // A banner, and the connection left open: the client ends it.
        HostileCase{"Banner", [] { return Script{"SSH-2.0-OpenSSH_9.2\r\n", nullptr, {}, 0, false}; },
                    kHTTPBrokenReply},
        HostileCase{"CutInsideTheStatusLine", [] { return Script{"HTTP/1.1 20"}; }, kHTTPBrokenReply},
        HostileCase{"CutInsideTheHeaders", [] { return Script{kStatus}; }, kHTTPBrokenReply}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// ---- Leaving a check that gets no answer ----------------------------------

// The server answers nothing, trickles its headers a byte a second, or its
// body.
enum class Pending { Silent, TrickledHeaders, TrickledBody };

Script ScriptFor(Pending pending) {
    const QByteArray body = ManifestFor("1.1.0", "Yes", "");
    const QByteArray head = kStatus + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    switch (pending) {
    case Pending::Silent: return Script{{}, nullptr, {}, 0, false};
    case Pending::TrickledHeaders: return Script{{}, nullptr, head + body};
    default: return Script{head, nullptr, body};
    }
}

class LeaveWaiting : public ::testing::TestWithParam<std::tuple<int, Pending>> {};

TEST_P(LeaveWaiting, EndsTheRequestWithoutAMessage) {
    const auto [way, pending] = GetParam();
    TestServer server(ScriptFor(pending));
    Answers none({});
    QString label;
    bool bar = false;
    bool closedAtOnce = false;
    // Held here, the closed window lives on: closing it, not its end, must
    // stop the request.
    std::shared_ptr<updateWindow> kept;
    When leave([&, pending = pending] {
                   return server.requestLines.size() == 1 && OpenWindowOf<updateWindow>() &&
                          (pending == Pending::Silent || server.trickled >= 2);
               },
               [&, way = way] {
                   auto w = kept = OpenWindowOf<updateWindow>();
                   label = w->StaticText1()->Text();
                   bar = w->ProgressBar1()->NativeWidget()->isVisible();
                   switch (way) {
                   case 0: QTest::mouseClick(w->PushButton1()->NativeWidget(), Qt::LeftButton); break;
                   case 1: QTest::keyClick(w->PushButton1()->NativeWidget(), Qt::Key_Escape); break;
                   case 2: QTest::keyClick(w->PushButton1()->NativeWidget(), Qt::Key_Return); break;
                   default: CloseByUser(w->NativeWindow()); break;
                   }
                   closedAtOnce = !w->IsOpen() && !w->NativeWindow()->isVisible();
               });
    RunCheck();
    EXPECT_EQ(label, "Checking for updates...");
    EXPECT_TRUE(bar);
    EXPECT_TRUE(closedAtOnce) << "the window closes as it is left";
    EXPECT_EQ(server.requestLines, QStringList({kRequestLine}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.disconnects == 1; }, 10000))
        << "the server sees the connection closed";
    Wait(50);
    EXPECT_TRUE(none.boxes.empty());
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
}

std::string WayName(const ::testing::TestParamInfo<std::tuple<int, Pending>>& info) {
    static const char* const ways[] = {"CancelButton", "Escape", "Return", "CloseBox"};
    static const char* const states[] = {"Silent", "TrickledHeaders", "TrickledBody"};
    return std::string(states[static_cast<int>(std::get<1>(info.param))]) + ways[std::get<0>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, LeaveWaiting,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3),
                                            ::testing::Values(Pending::Silent, Pending::TrickledHeaders,
                                                              Pending::TrickledBody)),
                         WayName);

// ---- The version window ---------------------------------------------------

TEST(VersionWindow, ShowsTheLongVersionAsLaidOut) {
    Launch();
    ChooseMenuItem(OpenWindow1(), QStringLiteral("CheckforUpdateCheckNow"));
    auto w = OpenWindowOf<selfTest>();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->NativeWindow()->isVisible());
    EXPECT_EQ(w->NativeWindow()->windowTitle(), "Self Test");
    EXPECT_EQ(w->Content()->size(), QSize(212, 96));
    EXPECT_EQ(w->StaticText1()->Text(), "Version:");
    EXPECT_EQ(w->StaticText2()->Text(), App::Instance()->LongVersion());
    EXPECT_NE(w->StaticText2()->Text(), "1.1.0 Intel");
    EXPECT_EQ(w->PushButton1()->Caption(), "Check for Updates");
    EXPECT_TRUE(w->PushButton1()->Default());
    EXPECT_FALSE(w->NativeWindow()->isModal());

    // A second "Check Now" brings the same window forward.
    ChooseMenuItem(OpenWindow1(), QStringLiteral("CheckforUpdateCheckNow"));
    EXPECT_EQ(OpenWindowOf<selfTest>(), w);
    EXPECT_EQ(OpenWindowNames(), QStringList({"Window1.Window1", "selfTest.selfTest"}));

    // Escape presses nothing; the close box closes it, and nothing else.
    QTest::keyClick(w->Content(), Qt::Key_Escape);
    Wait(20);
    EXPECT_TRUE(w->IsOpen());
    EXPECT_FALSE(OpenWindowOf<updateWindow>());
    CloseByUser(w->NativeWindow());
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);
    EXPECT_FALSE(IsQuitting());
    EXPECT_TRUE(QDir(PrefsPath(QString())).isEmpty()) << "nothing written";
}

TEST(VersionWindow, ReturnStartsTheCheckInAModalWindow) {
    TestServer server(TestServer::Mode::Silent);
    Launch();
    ChooseMenuItem(OpenWindow1(), QStringLiteral("CheckforUpdateCheckNow"));
    auto version = OpenWindowOf<selfTest>();
    bool modal = false, versionOpen = true;
    QSize size;
    QString title;
    When leave([&] { return OpenWindowOf<updateWindow>() && server.requestLines.size() == 1; },
               [&] {
                   auto w = OpenWindowOf<updateWindow>();
                   modal = w->NativeWindow()->isModal() && QApplication::activeModalWidget() == w->NativeWindow();
                   versionOpen = version->IsOpen() || version->NativeWindow()->isVisible();
                   size = w->Content()->size();
                   title = w->NativeWindow()->windowTitle();
                   w->PushButton1()->Push();
               });
    Watchdog watchdog;
    QTest::keyClick(version->Content(), Qt::Key_Return);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(versionOpen) << "the update window closed the version window";
    EXPECT_EQ(size, QSize(300, 120));
    EXPECT_EQ(title, "Update");
    EXPECT_EQ(OpenWindowNames(), kOnlyPasswordWindow);

    // The next "Check Now" builds a new version window.
    ChooseMenuItem(OpenWindow1(), QStringLiteral("CheckforUpdateCheckNow"));
    ASSERT_TRUE(OpenWindowOf<selfTest>());
    EXPECT_NE(OpenWindowOf<selfTest>(), version);
}

}  // namespace

#include "UpdateTests.moc"
