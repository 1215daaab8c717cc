// What every benchmark program needs around its measurements: failing loudly,
// writing its fixtures, and noticing a message box that means a run went wrong.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench {

// Ends the program with exit code 2, naming what went wrong.
[[noreturn]] inline void Fail(const QString& message) {
    std::fprintf(stderr, "benchmark failed: %s\n", qPrintable(message));
    std::exit(2);
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        Fail(QStringLiteral("cannot write %1").arg(path));
}

// A message box during a timed run means it went wrong (wrong password,
// missing file, no match, an error report): say what it showed and stop.
inline void WatchForModalBoxes() {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            Fail(QStringLiteral("unexpected message box: %1").arg(box->text()));
    });
    timer->start(50);
}

// The median, smallest and largest of a set of run times or ratios.
struct Spread {
    double median = 0, min = 0, max = 0;
};

inline Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

}  // namespace bench
