// Installing: the program, its icon in the hicolor theme and a desktop entry
// that the desktop's application menu accepts.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(Install, PutsTheProgramItsIconAndAValidDesktopEntryUnderThePrefix) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(MORVELLAN_CMAKE),
                  {"--install", QStringLiteral(MORVELLAN_BUILD_DIR), "--prefix", prefix.path()});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();

    const QDir root(prefix.path());
    const QString program = root.filePath("bin/morvellan");
    const QString icon = root.filePath("share/icons/hicolor/scalable/apps/morvellan.svg");
    const QString entry = root.filePath("share/applications/morvellan.desktop");
    EXPECT_TRUE(QFileInfo(program).isExecutable());
    EXPECT_EQ(Contents(icon), Contents(":/icons/morvellan.svg")) << "the icon the windows carry";
    ASSERT_TRUE(QFile::exists(entry));

    // The entry names what was installed beside it.
    QSettings desktop(entry, QSettings::IniFormat);
    desktop.beginGroup("Desktop Entry");
    EXPECT_EQ(desktop.value("Type").toString(), "Application");
    EXPECT_EQ(desktop.value("Name").toString(), "Morvellan");
    EXPECT_EQ(desktop.value("Exec").toString(), QFileInfo(program).fileName());
    EXPECT_EQ(desktop.value("Icon").toString(), QFileInfo(icon).completeBaseName());

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(validator, {entry});
    ASSERT_TRUE(validate.waitForFinished(30000));
    const QByteArray said = validate.readAll();
    EXPECT_EQ(validate.exitCode(), 0) << said.toStdString();
    EXPECT_EQ(said, QByteArray()) << "no error, warning or hint";
}
