#include "tests/PrintHarness.h"

#include "framework/Printing.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QStandardPaths>
#include <QDir>
#include <QDirIterator>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>

#include <algorithm>

#include <cups/cups.h>
#include <csignal>
#include <sys/prctl.h>

namespace harness {

namespace {

const QDateTime kBefore(QDate(2026, 3, 14), QTime(9, 26));
const QDateTime kAfter(QDate(2026, 3, 15), QTime(13, 58));

QString Stamp(const QDateTime& at) {
    return QLocale().toString(at.time(), QLocale::ShortFormat) + QStringLiteral(", ") +
           QLocale().toString(at.date(), QLocale::ShortFormat);
}

}  // namespace

PrintAnswer::PrintAnswer(Choice choice, Settings settings)
    : choice_(choice), settings_(std::move(settings)), timer_(std::make_unique<QTimer>()) {
    Date::SetClock([this] { return (dialogSeen_ ? kAfter : kBefore).toMSecsSinceEpoch(); });
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
    timer_->start(10);
}

PrintAnswer::~PrintAnswer() { Date::SetClock(nullptr); }

QString PrintAnswer::StampBefore() { return Stamp(kBefore); }
QString PrintAnswer::StampAfter() { return Stamp(kAfter); }

QString PrintAnswer::pdfPath() const { return dir_.filePath(QStringLiteral("out.pdf")); }

void PrintAnswer::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || answered_) return;
    if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
        dialogSeen_ = true;
        if (choice_ == Cancel) {
            answered_ = true;
            dialog->reject();
            return;
        }
        auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
        const QString choice = settings_.printer.isEmpty() ? QStringLiteral("Print to File (PDF)") : settings_.printer;
        const int index = printers ? printers->findText(choice) : -1;
        if (index < 0) qFatal("the print dialog offers no %s", qPrintable(choice));
        printers->setCurrentIndex(index);
        if (settings_.printer.isEmpty())
            dialog->findChild<QLineEdit*>(QStringLiteral("filename"))->setText(pdfPath());
        if ((settings_.orientation == Landscape || !settings_.paper.isEmpty()) && !pageSetupDone_) {
            // The page set-up sits behind the Properties button, in a modal
            // dialog of its own, answered on a later poll.
            QTimer::singleShot(0, dialog->findChild<QPushButton*>(QStringLiteral("properties")),
                               &QPushButton::click);
            return;
        }
        if (settings_.fromPage > 0) {
            auto* range = dialog->findChild<QRadioButton*>(QStringLiteral("printRange"));
            if (!range || !range->isEnabled()) qFatal("the print dialog offers no page range");
            range->click();
            dialog->findChild<QSpinBox*>(QStringLiteral("from"))->setValue(settings_.fromPage);
            dialog->findChild<QSpinBox*>(QStringLiteral("to"))->setValue(settings_.toPage);
        }
        if (settings_.copies != 1) dialog->findChild<QSpinBox*>(QStringLiteral("copies"))->setValue(settings_.copies);
        if (settings_.reverse) {
            auto* reverse = dialog->findChild<QCheckBox*>(QStringLiteral("reverse"));
            if (!reverse || !reverse->isEnabled()) qFatal("the print dialog offers no reverse order");
            reverse->setChecked(true);
        }
        QObject::connect(dialog, &QDialog::accepted, [this, dialog] {
            printable_ = dialog->printer()->pageLayout().paintRectPoints();
            if (!settings_.writeTo.isEmpty()) dialog->printer()->setOutputFileName(settings_.writeTo);
            if (settings_.onAccepted) settings_.onAccepted();
        });
        answered_ = true;
        dialog->accept();
        return;
    }
    if (auto* landscape = modal->findChild<QRadioButton*>(QStringLiteral("landscape"))) {
        // The page set-up: the paper first, since choosing one may turn the
        // orientation back.
        if (!settings_.paper.isEmpty()) {
            auto* size = modal->findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
            const int index = size ? size->findText(settings_.paper, Qt::MatchStartsWith) : -1;
            if (index < 0) qFatal("the page set-up offers no paper %s", qPrintable(settings_.paper));
            size->setCurrentIndex(index);
        }
        if (settings_.orientation == Landscape) landscape->click();
        pageSetupDone_ = true;
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (auto* box = modal->findChild<QDialogButtonBox*>())
            box->button(QDialogButtonBox::Ok)->click();
        else if (dialog)
            dialog->accept();
    }
}

namespace {

QString Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

PrintServer::PrintServer() = default;

PrintServer::~PrintServer() { Stop(); }

bool PrintServer::Start(QString* why) {
    const QString cupsd =
        QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (cupsd.isEmpty()) {
        *why = QStringLiteral("no cupsd installed");
        return false;
    }
    const QString root = dir_.path();
    const auto write = [&](const char* name, const QString& text) {
        QFile file(dir_.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) != text.toUtf8().size())
            qFatal("cannot write %s", name);
    };
    for (const char* sub : {"spool/temp", "cache", "state", "log"}) QDir(root).mkpath(QString::fromLatin1(sub));
    // Its own socket and folders only: no port, no browsing, nothing shared
    // with a print server of the system's.
    write("cupsd.conf", QStringLiteral("Listen %1\nLogLevel warn\nBrowsing No\nBrowseLocalProtocols none\n"
                                       "WebInterface No\nDefaultAuthType None\n"
                                       "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                                       "<Policy default>\n<Limit All>\nOrder allow,deny\nAllow all\n</Limit>\n"
                                       "</Policy>\n")
                            .arg(socket()));
    write("cups-files.conf",
          QStringLiteral("FileDevice Yes\nServerRoot %1\nRequestRoot %1/spool\nTempDir %1/spool/temp\n"
                         "CacheDir %1/cache\nStateDir %1/state\nAccessLog %1/log/access_log\n"
                         "ErrorLog %1/log/error_log\nPageLog %1/log/page_log\nPrintcap %1/printcap\n")
              .arg(root));
    QString printers;
    for (const char* queue : {"Open", "Held", "Closed", "Gone"})
        printers += QStringLiteral("<Printer %1>\nState %2\nAccepting %3\nDeviceURI file:/dev/null\n</Printer>\n")
                        .arg(QString::fromLatin1(queue),
                             QString::fromLatin1(qstrcmp(queue, "Held") == 0 ? "Stopped" : "Idle"),
                             QString::fromLatin1(qstrcmp(queue, "Closed") == 0 ? "No" : "Yes"));
    write("printers.conf", printers);
    cupsd_ = std::make_unique<QProcess>();
    cupsd_->setProcessChannelMode(QProcess::ForwardedChannels);
    // It ends with the test's process, however that ends.
    cupsd_->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    cupsd_->start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"), dir_.filePath(QStringLiteral("cupsd.conf")),
                          QStringLiteral("-s"), dir_.filePath(QStringLiteral("cups-files.conf"))});
    if (!cupsd_->waitForStarted(5000)) qFatal("cupsd does not start");
    for (int i = 0; i < 500 && !QFile::exists(socket()); ++i) QThread::msleep(10);
    if (!QFile::exists(socket())) qFatal("cupsd opens no socket");
    // This process, and the print dialog in it, ask this server only.
    qputenv("CUPS_SERVER", QFile::encodeName(socket()));
    cupsSetServer(QFile::encodeName(socket()).constData());
    return true;
}

void PrintServer::Stop() {
    if (!cupsd_ || cupsd_->state() == QProcess::NotRunning) return;
    cupsd_->terminate();
    if (!cupsd_->waitForFinished(5000)) {
        cupsd_->kill();
        cupsd_->waitForFinished(5000);
    }
}

void PrintServer::RemoveQueue(const QString& name) {
    if (QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name}) != 0)
        qFatal("lpadmin cannot remove %s", qPrintable(name));
}

std::vector<PrintServer::Job> PrintServer::Jobs(const QString& queue) const {
    std::vector<Job> jobs;
    cups_job_t* list = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &list, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    for (int i = 0; i < count; ++i) {
        const QString document = dir_.filePath(QStringLiteral("spool/d%1-001").arg(list[i].id, 5, 10, QLatin1Char('0')));
        jobs.push_back({QString::fromUtf8(list[i].title), QFile::exists(document) ? document : QString()});
    }
    cupsFreeJobs(count, list);
    return jobs;
}

std::vector<PdfPage> ReadPdf(const QString& path) {
    std::vector<PdfPage> pages;
    QXmlStreamReader xml(Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")}));
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement()) continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("page")) {
            pages.push_back({a.value("width").toDouble(), a.value("height").toDouble(), {}, {}});
        } else if (xml.name() == QLatin1String("word") && !pages.empty()) {
            Word w{QString(), a.value("xMin").toDouble(), a.value("yMin").toDouble(), a.value("xMax").toDouble(),
                   a.value("yMax").toDouble()};
            w.text = xml.readElementText();
            pages.back().words.push_back(w);
        }
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        const QString n = QString::number(i + 1);
        const QStringList lines =
            Run(QStringLiteral("pdffonts"), {QStringLiteral("-f"), n, QStringLiteral("-l"), n, path})
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        // Two header lines, then one font a line, its name first.
        for (int l = 2; l < lines.size(); ++l) {
            QString name = lines[l].section(QLatin1Char(' '), 0, 0);
            name.remove(QRegularExpression(QStringLiteral("^[A-Z]{6}\\+")));
            pages[i].fonts << name;
        }
    }
    return pages;
}

QString PdfText(const QString& path) {
    return Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

std::vector<Word> WordsNear(const PdfPage& page, double baseline, double tolerance) {
    // A word sits on the baseline when the line runs through its box, with
    // no more than a descender's depth below it.
    std::vector<Word> words;
    for (const Word& w : page.words)
        if (w.yMin < baseline && w.yMax > baseline - tolerance && w.yMax < baseline + tolerance)
            words.push_back(w);
    std::sort(words.begin(), words.end(), [](const Word& a, const Word& b) { return a.xMin < b.xMin; });
    return words;
}

}  // namespace harness
