#include "tests/PrintHarness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <QXmlStreamReader>

#include <algorithm>

namespace harness {

PrintAnswer::PrintAnswer(Choice choice, Orientation orientation)
    : choice_(choice), orientation_(orientation), timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
    timer_->start(10);
}

PrintAnswer::~PrintAnswer() = default;

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
        const int pdf = printers ? printers->findText(QStringLiteral("Print to File (PDF)")) : -1;
        if (pdf < 0) qFatal("the print dialog offers no PDF output");
        printers->setCurrentIndex(pdf);
        dialog->findChild<QLineEdit*>(QStringLiteral("filename"))->setText(pdfPath());
        if (orientation_ == Landscape && !orientationDone_) {
            // The page set-up sits behind the Properties button, in a modal
            // dialog of its own, answered on a later poll.
            QTimer::singleShot(0, dialog->findChild<QPushButton*>(QStringLiteral("properties")),
                               &QPushButton::click);
            return;
        }
        QObject::connect(dialog, &QDialog::accepted, [this, dialog] {
            printable_ = dialog->printer()->pageLayout().paintRectPoints();
        });
        answered_ = true;
        dialog->accept();
        return;
    }
    if (auto* landscape = modal->findChild<QRadioButton*>(QStringLiteral("landscape"))) {
        landscape->click();
        // A paper tall enough in landscape to hold the whole 720-point box.
        if (auto* size = modal->findChild<QComboBox*>(QStringLiteral("pageSizeCombo"))) {
            const int a3 = size->findText(QStringLiteral("A3"), Qt::MatchStartsWith);
            if (a3 >= 0) size->setCurrentIndex(a3);
        }
        orientationDone_ = true;
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
