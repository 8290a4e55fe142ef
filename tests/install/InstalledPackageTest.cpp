// The Debian package as a user gets it: its control fields and file list, and the programs
// run from the unpacked tree (dpkg-deb -x into a scratch root, as dpkg -i would lay it out
// under /), from a folder outside the source and build trees, with their own data and
// configuration folders. The host must find its plug-in, templates and settings file
// relative to itself and nowhere in the build.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "tests/install/InstallTestSupport.h"

namespace {

using namespace installtest;

class InstalledPackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        package = PackageFile();
        ASSERT_FALSE(package.isEmpty()) << "no tallyleaf_" TALLYLEAF_VERSION "_*.deb in " TALLYLEAF_PACKAGE_DIR
                                           " (the test install_build_package makes it)";
        root = home.path(QStringLiteral("root"));
        const QString error = Unpack(package, root);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    QString installed(const QString& relative) const { return root + QStringLiteral("/usr/") + relative; }
    QString host() const { return installed(QStringLiteral("bin/tallyleaf-host")); }
    static QString canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

    ScratchHome home;
    QString package;
    QString root;
};

QString ControlField(const QString& info, const QString& name)
{
    const QRegularExpression field(QStringLiteral("^ ?%1: (.*)$").arg(name), QRegularExpression::MultilineOption);
    return field.match(info).captured(1).trimmed();
}

// The package names of a Depends line, alternatives and versions left out.
QStringList DependencyNames(const QString& depends)
{
    QStringList names;
    for (const QString& clause : depends.split(','))
        for (const QString& alternative : clause.split('|'))
            names << alternative.trimmed().section(' ', 0, 0).section(':', 0, 0);
    return names;
}

TEST_F(InstalledPackageTest, ControlFieldsNameThePackageAndItsRunTimePackages)
{
    const RunResult info = DpkgDeb({QStringLiteral("-I"), package});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_EQ(ControlField(info.out, "Package"), "tallyleaf");
    EXPECT_EQ(ControlField(info.out, "Version"), TALLYLEAF_VERSION);
    EXPECT_EQ(ControlField(info.out, "Section"), "misc");
    EXPECT_TRUE(ControlField(info.out, "Maintainer").contains('@')) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains(QStringLiteral("指标打印"))) << "the description names the window";

    const QStringList depends = DependencyNames(ControlField(info.out, "Depends"));
    // Linked libraries (from dpkg-shlibdeps) and the Qt plug-ins loaded at run time.
    for (const char* required : {"libqt6widgets6", "libqt6printsupport6", "libqt6sql6", "libqt6sql6-sqlite",
                                 "libqt6sql6-psql", "libqt6sql6-odbc", "libqt6svg6", "libqt6gui6", "libqt6core6",
                                 "libc6", "libstdc++6"})
        EXPECT_TRUE(depends.contains(QString::fromLatin1(required))) << required << " missing in Depends";
    EXPECT_TRUE(depends.filter(QRegularExpression(QStringLiteral("^libxlsxwriter[0-9]+$"))).size() == 1)
        << "Depends has no libxlsxwriter run-time package";
    // Every name is a real package: the build machine has them all (scripts/install-deps).
    for (const QString& name : depends) {
        QProcess query;
        query.start(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Status}"), name});
        query.waitForFinished(30000);
        EXPECT_TRUE(QString::fromUtf8(query.readAllStandardOutput()).contains(QStringLiteral("install ok installed")))
            << name.toStdString() << " is not a package dpkg knows as installed";
    }
}

TEST_F(InstalledPackageTest, ContentsHaveTheProductAndNothingOfTheBuild)
{
    const RunResult list = DpkgDeb({QStringLiteral("-c"), package});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    const QStringList present{
        "./usr/bin/tallyleaf-host",
        "./usr/bin/tallyleaf-sheet",
        "./usr/lib/tallyleaf/libbTallyleaf.so",
        "./usr/share/tallyleaf/templates/指标明细表_国有资本cll5.cll",
        "./usr/share/tallyleaf/templates/指标明细表_非国有资本cll5.cll",
        "./usr/share/tallyleaf/sql/schema-postgresql.sql",
        "./usr/share/applications/tallyleaf.desktop",
        "./usr/share/icons/hicolor/scalable/apps/tallyleaf.svg",
        "./usr/share/icons/hicolor/48x48/apps/tallyleaf.png",
        "./usr/share/doc/tallyleaf/user-guide.md",
        "./usr/share/doc/tallyleaf/admin-guide.md",
        "./usr/share/doc/tallyleaf/README.md",
        "./usr/share/man/man1/tallyleaf-host.1.gz",
        "./usr/share/man/man1/tallyleaf-sheet.1.gz",
    };
    for (const QString& path : present)
        EXPECT_TRUE(list.out.contains(' ' + path + '\n')) << path.toStdString() << " not in the package";
    for (const char* absent : {"tallyleaf-datagen", "/test_", "bench_", "CMakeFiles", ".a\n"})
        EXPECT_FALSE(list.out.contains(QString::fromLatin1(absent))) << absent << " should not be packaged";
}

// The paragraphs of a deb822 file (as debian/copyright is written): field name to value,
// continuation lines joined with '\n' (a lone "." stands for an empty line).
QList<QMap<QString, QString>> Deb822Paragraphs(const QString& text)
{
    QList<QMap<QString, QString>> paragraphs;
    QMap<QString, QString> current;
    QString field;
    for (const QString& line : text.split('\n')) {
        if (line.trimmed().isEmpty()) {
            if (!current.isEmpty())
                paragraphs << current;
            current.clear();
            field.clear();
        } else if (line.startsWith(' ') || line.startsWith('\t')) {
            if (!field.isEmpty())
                current[field] += '\n' + (line.trimmed() == "." ? QString() : line.trimmed());
        } else {
            field = line.section(':', 0, 0);
            current[field] = line.section(':', 1).trimmed();
        }
    }
    if (!current.isEmpty())
        paragraphs << current;
    return paragraphs;
}

// Debian's own places for the package's copyright and changelog: the copyright in the
// machine-readable format with a licence text for every licence it names, the changelog
// compressed without a name or time stamp (the same bytes on every build), its newest
// entry for this version by the package's maintainer.
TEST_F(InstalledPackageTest, CopyrightAndChangelogAreWhereDebianLooksForThem)
{
    const RunResult list = DpkgDeb({QStringLiteral("-c"), package});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    for (const char* name : {"copyright", "changelog.gz"}) {
        const QRegularExpression entry(QStringLiteral("^-rw-r--r-- root/root .* \\./usr/share/doc/tallyleaf/%1$")
                                           .arg(QString::fromLatin1(name)),
                                       QRegularExpression::MultilineOption);
        EXPECT_TRUE(entry.match(list.out).hasMatch()) << name << " is not in the package as a plain file of root's";
    }

    QFile copyrightFile(installed(QStringLiteral("share/doc/tallyleaf/copyright")));
    ASSERT_TRUE(copyrightFile.open(QIODevice::ReadOnly));
    const QList<QMap<QString, QString>> copyright = Deb822Paragraphs(QString::fromUtf8(copyrightFile.readAll()));
    ASSERT_GE(copyright.size(), 2);
    EXPECT_EQ(copyright[0].value("Format"), "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/");
    EXPECT_EQ(copyright[0].value("Upstream-Name"), "Tallyleaf");
    QStringList licencesNamed, licenceTexts;
    bool allFiles = false;
    for (const auto& paragraph : copyright.mid(1)) {
        const QString licence = paragraph.value("License");
        ASSERT_FALSE(licence.isEmpty()) << "a paragraph without a License field";
        const QString shortName = licence.section('\n', 0, 0);
        if (licence.contains('\n'))
            licenceTexts << shortName;
        if (paragraph.contains("Files")) {
            EXPECT_FALSE(paragraph.value("Copyright").isEmpty()) << paragraph.value("Files").toStdString();
            licencesNamed << shortName;
            allFiles = allFiles || paragraph.value("Files").split(' ').contains("*");
        }
    }
    EXPECT_TRUE(allFiles) << "no Files: * paragraph";
    for (const QString& name : licencesNamed)
        EXPECT_TRUE(licenceTexts.contains(name)) << "no text for the licence " << name.toStdString();

    const QString changelogGz = installed(QStringLiteral("share/doc/tallyleaf/changelog.gz"));
    QFile gz(changelogGz);
    ASSERT_TRUE(gz.open(QIODevice::ReadOnly));
    const QByteArray header = gz.read(10);
    ASSERT_EQ(header.size(), 10);
    EXPECT_EQ(header.left(2), QByteArray("\x1f\x8b", 2)) << "changelog.gz is not gzip data";
    EXPECT_EQ(header[3] & 0x08, 0) << "changelog.gz keeps a file name";
    EXPECT_EQ(header.mid(4, 4), QByteArray(4, '\0')) << "changelog.gz keeps a time stamp";
    const RunResult plain = home.run(QStringLiteral("gzip"), {QStringLiteral("-dc"), changelogGz});
    ASSERT_EQ(plain.status, 0) << plain.err.toStdString();
    const QString changelog = home.path(QStringLiteral("work/changelog"));
    QFile out(changelog);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(plain.out.toUtf8());
    out.close();
    const RunResult parsed = home.run(QStringLiteral("dpkg-parsechangelog"), {QStringLiteral("-l"), changelog});
    ASSERT_EQ(parsed.status, 0) << parsed.err.toStdString();
    EXPECT_EQ(ControlField(parsed.out, "Source"), "tallyleaf");
    EXPECT_EQ(ControlField(parsed.out, "Version"), TALLYLEAF_VERSION);
    const RunResult info = DpkgDeb({QStringLiteral("-I"), package});
    EXPECT_EQ(ControlField(parsed.out, "Maintainer"), ControlField(info.out, "Maintainer"));
}

TEST_F(InstalledPackageTest, DesktopEntryIsValidAndPointsAtInstalledFiles)
{
    const QString desktop = installed(QStringLiteral("share/applications/tallyleaf.desktop"));
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate missing (scripts/install-deps installs desktop-file-utils)";
    QProcess validate;
    validate.start(validator, {desktop});
    validate.waitForFinished(30000);
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();

    QSettings entry(desktop, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    EXPECT_EQ(entry.value("Name").toString(), "Tallyleaf");
    EXPECT_EQ(entry.value("Name[zh_CN]").toString(), QStringLiteral("指标打印"));
    EXPECT_FALSE(entry.value("Comment[zh_CN]").toString().isEmpty());
    const QString program = entry.value("Exec").toString().section(' ', 0, 0);
    EXPECT_TRUE(QFileInfo(installed("bin/" + program)).isExecutable()) << program.toStdString();
    const QString icon = installed("share/icons/hicolor/scalable/apps/" + entry.value("Icon").toString() + ".svg");
    const QImage picture(icon);
    EXPECT_FALSE(picture.isNull()) << icon.toStdString() << " does not load as a picture";
}

// The manual pages are made from --help at build time: rendered by groff as man renders
// them (preconv for the UTF-8 text) they must give
// every indented line of the installed program's --help as it stands (troff swallows a
// line that starts with a dot and turns a lone backslash into an escape), every heading,
// and no warning.
TEST_F(InstalledPackageTest, ManualPagesRenderTheProgramsHelp)
{
    for (const char* program : {"tallyleaf-host", "tallyleaf-sheet"}) {
        SCOPED_TRACE(program);
        const QString name = QString::fromLatin1(program);
        const RunResult help = home.run(installed("bin/" + name), {QStringLiteral("--help")});
        ASSERT_EQ(help.status, 0) << help.err.toStdString();
        const QString page = installed("share/man/man1/" + name + ".1.gz");
        ASSERT_TRUE(QFileInfo(page).isFile()) << page.toStdString();
        const RunResult man = home.run(QStringLiteral("sh"),
                                       {QStringLiteral("-c"), QStringLiteral("zcat \"$0\" | groff -k -man -Tutf8 -ww -P-cbou"), page});
        ASSERT_EQ(man.status, 0) << man.err.toStdString();
        EXPECT_TRUE(man.err.isEmpty()) << "groff warns: " << man.err.toStdString();
        auto squeezed = [](const QString& text) { return text.simplified(); };
        QStringList renderedLines;
        for (const QString& line : man.out.split('\n'))
            renderedLines << squeezed(line);
        EXPECT_TRUE(man.out.contains(name + QStringLiteral(" - "))) << "no NAME line";
        for (const QString& line : help.out.split('\n')) {
            if (line.trimmed().isEmpty())
                continue;
            if (line.startsWith(' ')) {
                EXPECT_TRUE(renderedLines.contains(squeezed(line))) << "not in the page: " << line.toStdString();
            } else if (line.endsWith(':') || line.endsWith(QStringLiteral("："))) {
                EXPECT_TRUE(renderedLines.contains(squeezed(line.chopped(1)).toUpper()))
                    << "no heading: " << line.toStdString();
            }
        }
    }
}

TEST_F(InstalledPackageTest, InstalledHostFindsItsFilesRelativeToItself)
{
    const RunResult r = home.run(host(), {QStringLiteral("--paths")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString plugIn = canonical(installed(QStringLiteral("lib/tallyleaf/libbTallyleaf.so")));
    const QString templates = canonical(installed(QStringLiteral("share/tallyleaf/templates"))) + '/';
    const QString settings = canonical(home.path(QStringLiteral("config"))) + QStringLiteral("/tallyleaf/tallyleaf-host.INI");
    const QString demo = QStringLiteral("sqlite:") + canonical(home.path(QStringLiteral("data"))) + "/tallyleaf/demo-budget.db";
    EXPECT_TRUE(r.out.contains(QStringLiteral("插件：") + plugIn + '\n')) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("报表模板目录：") + templates + '\n')) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("设置文件：") + settings + '\n')) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("演示数据库：") + demo + '\n')) << r.out.toStdString();
}

TEST_F(InstalledPackageTest, HeadlessExportOfTheDemoReportFromTheInstalledFiles)
{
    const RunResult r = home.run(host(), {QStringLiteral("--export"), QStringLiteral("指标表.xls")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("数据导出成功。"))) << r.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(home.path(QStringLiteral("data/tallyleaf/demo-budget.db"))))
        << "the demo database goes to XDG_DATA_HOME";

    const QString file = home.path(QStringLiteral("work/指标表.xls"));   // relative to the current folder
    ASSERT_TRUE(QFileInfo::exists(file));
    const QJsonObject book = ReadWorkbook(file);
    const QString title = CellText(book, 0, 1);
    EXPECT_TRUE(title.contains(QStringLiteral("2024年国库集中支付改革")) && title.endsWith(QStringLiteral("指标表")))
        << title.toStdString();
    QStringList headings;
    for (int column = 1; column < 18; ++column)
        headings << CellText(book, 3, column) + CellText(book, 4, column) + CellText(book, 5, column);
    EXPECT_TRUE(headings.join(' ').contains(QStringLiteral("序号"))) << headings.join(' ').toStdString();
    EXPECT_GT(book.value(QStringLiteral("rows")).toInt(), 7) << "the report has no data rows";
}

TEST_F(InstalledPackageTest, InstalledHostLoadsItsOwnPlugInWindow)
{
    const QString shot = home.path(QStringLiteral("work/window.png"));
    const RunResult r = home.run(host(), {QStringLiteral("--open"), QStringLiteral("TbfrmTallyleaf"),
                                          QStringLiteral("--screenshot"), shot});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("tallyleaf-host:"))) << r.err.toStdString();
    const QImage picture(shot);
    EXPECT_GT(picture.width(), 400);
}

// Without its installed files the host fails and names what it looked for: it does not
// reach back into the build or source trees, which would hide a broken install. The
// templates go first: every mode, the headless export too, runs through the plug-in.
TEST_F(InstalledPackageTest, MissingInstalledFilesAreReportedNotTakenFromTheBuild)
{
    const QString templates = canonical(installed(QStringLiteral("share/tallyleaf/templates")));
    ASSERT_TRUE(QDir(templates).removeRecursively());
    const RunResult report = home.run(host(), {QStringLiteral("--export"), QStringLiteral("指标表.xls")});
    EXPECT_EQ(report.status, 1);
    EXPECT_TRUE(report.err.contains(QStringLiteral("报表模板文件") + templates + '/')) << report.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.path(QStringLiteral("work/指标表.xls"))));

    ASSERT_TRUE(QDir(installed(QStringLiteral("lib/tallyleaf"))).removeRecursively());
    for (const QStringList& args : {QStringList{QStringLiteral("--open"), QStringLiteral("TbfrmTallyleaf"),
                                                QStringLiteral("--screenshot"), home.path("work/window.png")},
                                    QStringList{QStringLiteral("--export"), QStringLiteral("指标表.xls")}}) {
        const RunResult run = home.run(host(), args);
        EXPECT_EQ(run.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("找不到插件libbTallyleaf.so"))) << run.err.toStdString();
    }
}

} // namespace
