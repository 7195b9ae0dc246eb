// SPDX-License-Identifier: GPL-3.0-or-later
#include "Pictures.h"
#include "PromotedApplications.h"
#include "Recommendation.h"
#include "TempTree.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// Installed flags of candidates A, B, C written as letters: "AC" means A and C installed.
std::array<bool, 3> installedFrom(const QString& pattern)
{
    return {pattern.contains(u'A'), pattern.contains(u'B'), pattern.contains(u'C')};
}

bool hasOpaquePixels(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200)
                return true;
    return false;
}

QString desktopFile(int number)
{
    return PromotedApplications::entry(number)->desktopId + u".desktop";
}

} // namespace

class TestPromo : public QObject
{
    Q_OBJECT

private slots:
    void twentyThreeCompleteEntriesWithOwnIcons();
    void onlyTheExactFileCounts_data();
    void onlyTheExactFileCounts();
    void rotation_data();
    void rotation();
    void advanceKeepsTheRotationInUserDefaults();
    void picturesRenderAndAreRegistered();
};

void TestPromo::twentyThreeCompleteEntriesWithOwnIcons()
{
    const auto& entries = PromotedApplications::entries();
    QCOMPARE(entries.size(), 23);
    QSet<QString> ids;
    QSet<QByteArray> icons;
    for (int i = 0; i < entries.size(); ++i) {
        const PromotedApplication& app = entries[i];
        QCOMPARE(PromotedApplications::entry(i + 1), &app);
        const QUrl url(app.apppath, QUrl::StrictMode);
        // The ID becomes a file name: no folders, no suffix of its own.
        QVERIFY2(!app.title.isEmpty() && !app.description.isEmpty() && !app.category.isEmpty()
                && url.isValid() && url.scheme() == u"https" && !url.host().isEmpty()
                && !app.desktopId.isEmpty() && !app.desktopId.contains(u'/')
                && !app.desktopId.endsWith(u".desktop"),
            qPrintable(app.title));

        // Our own drawing, filling the 128 x 128 box it stands in for, and not a copy of another.
        QVERIFY2(app.iconPath.startsWith(u":/pictures/promo/"), qPrintable(app.iconPath));
        QCOMPARE(QSvgRenderer(app.iconPath).defaultSize(), QSize(128, 128));
        QVERIFY(hasOpaquePixels(Pictures::renderSvg(app.iconPath, QSize(128, 128)).toImage()));
        ids.insert(app.desktopId);
        icons.insert(TempTree::readFile(app.iconPath));
    }
    QCOMPARE(ids.size(), 23);
    QCOMPARE(icons.size(), 23);
    QCOMPARE(PromotedApplications::entry(24), nullptr);
}

void TestPromo::onlyTheExactFileCounts_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<bool>("counts");

    const QString name = desktopFile(7);
    QTest::newRow("in the applications folder") << u"applications/"_s + name << true;
    QTest::newRow("a per-user copy elsewhere")
        << u"home/.local/share/applications/"_s + name << false;
    QTest::newRow("in a subfolder") << u"applications/kde/"_s + name << false;
    QTest::newRow("other letter case") << u"applications/"_s + name.toLower() << false;
}

void TestPromo::onlyTheExactFileCounts()
{
    QFETCH(QString, relativePath);
    QFETCH(bool, counts);

    TempTree tree;
    PromotedApplications apps(tree.makeDir(u"applications"_s));
    tree.writeFile(u"applications/org.example.Other.desktop"_s, "[Desktop Entry]\n");
    const QString placed = tree.writeFile(relativePath, "[Desktop Entry]\n");
    QVERIFY(!apps.isInstalled(7)); // nothing before a first check
    apps.checkInstalled();
    for (int number = 1; number <= 23; ++number)
        QVERIFY2(apps.isInstalled(number) == (counts && number == 7), QByteArray::number(number));
    QCOMPARE(apps.candidatesInstalled(), (std::array<bool, 3> {counts, false, false}));

    // Files that come and go change the flags only at the next check.
    QVERIFY(QFile::remove(placed));
    tree.writeFile(u"applications/"_s + desktopFile(2), "x");
    QCOMPARE(apps.candidatesInstalled(), (std::array<bool, 3> {counts, false, false}));
    apps.checkInstalled();
    QCOMPARE(apps.candidatesInstalled(), (std::array<bool, 3> {false, false, true}));
}

void TestPromo::rotation_data()
{
    QTest::addColumn<QString>("stored"); // "absent", "text" (another type) or an integer
    QTest::addColumn<QString>("installed");
    QTest::addColumn<int>("candidate"); // -1: none
    QTest::addColumn<int>("store"); // -1: nothing stored
    QTest::addColumn<bool>("hidden");

    const auto row
        = [](const char* stored, const char* installed, int candidate, int store, bool hidden) {
              QTest::addRow("%s, installed: %s", stored, *installed ? installed : "none")
                  << QString::fromLatin1(stored) << QString::fromLatin1(installed) << candidate
                  << store << hidden;
          };
    // Absent counts as 0: 0 is stored and read back, and the rotation moves on to 1.
    row("absent", "", 0, 1, false);
    // 0: A, B, C; stores 1. With A and C installed B is chosen, yet the box is hidden.
    row("0", "", 0, 1, false);
    row("0", "A", 1, 1, false);
    row("0", "AB", 2, 1, false);
    row("0", "AC", 1, 1, true);
    row("0", "ABC", -1, 1, true);
    // 1: B, C, A; stores 2.
    row("1", "", 1, 2, false);
    row("1", "BC", 0, 2, false);
    // 2: C, A, B; stores 0.
    row("2", "", 2, 0, false);
    row("2", "C", 0, 0, false);
    row("2", "ABC", -1, 0, true);
    // Anything else: A, B, C, and the stored value stays.
    row("text", "A", 1, -1, false);
    row("3", "", 0, -1, false);
    row("3", "AC", 1, -1, true);
}

void TestPromo::rotation()
{
    QFETCH(QString, stored);
    QFETCH(QString, installed);
    QFETCH(int, candidate);
    QFETCH(int, store);
    QFETCH(bool, hidden);

    bool isNumber = false;
    const qint64 number = stored.toLongLong(&isNumber);
    const auto value = stored == u"absent" ? Recommendation::Stored::absent()
        : isNumber                         ? Recommendation::Stored::ofInteger(number)
                                           : Recommendation::Stored::ofOtherType();
    const Recommendation result = Recommendation::choose(installedFrom(installed), value);
    QCOMPARE(result.candidate, candidate < 0 ? std::nullopt : std::optional<int>(candidate));
    QCOMPARE(result.valueToStore, store < 0 ? std::nullopt : std::optional<qint64>(store));
    QCOMPARE(result.hideBox, hidden);
}

void TestPromo::advanceKeepsTheRotationInUserDefaults()
{
    TempTree tree;
    const QString file = tree.path(u"defaults.plist"_s);
    // Each load reads the file afresh, as the next run of the result screen would; from the
    // fifth load on B is installed, so it is skipped while the rotation still advances.
    QList<int> shown;
    for (int load = 0; load < 7; ++load) {
        UserDefaults defaults(file);
        shown.append(
            Recommendation::advance(defaults, {false, load >= 4, false}).candidate.value());
    }
    QCOMPARE(shown, (QList<int> {0, 1, 2, 0, 2, 2, 0}));
    QCOMPARE(UserDefaults(file).integerForKey(Recommendation::key()), std::optional<qint64>(1));

    // A value of another type is left as it is.
    QVERIFY(UserDefaults(file).setString(Recommendation::key(), u"1"_s));
    UserDefaults defaults(file);
    QCOMPARE(Recommendation::advance(defaults, {}).candidate, std::optional<int>(0));
    QCOMPARE(UserDefaults(file).stringForKey(Recommendation::key()), std::optional(u"1"_s));
}

void TestPromo::picturesRenderAndAreRegistered()
{
    using Pictures::Picture;
    for (const Picture picture :
        {Picture::HomeDrop, Picture::Progress, Picture::ResultBadge, Picture::ResultIllustration,
            Picture::ShareLink, Picture::CommunityLink, Picture::ApplicationIcon}) {
        // The drawing's own size is what the screens lay out around.
        const QSize size = Pictures::naturalSize(picture);
        QCOMPARE(QSvgRenderer(Pictures::path(picture)).defaultSize(), size);
        const QPixmap natural = Pictures::pixmap(picture);
        QVERIFY2(natural.size() == size && hasOpaquePixels(natural.toImage()),
            qPrintable(Pictures::path(picture)));
    }

    const QIcon icon = Pictures::builtInApplicationIcon();
    for (const int side : Pictures::applicationIconSizes()) {
        QVERIFY(icon.availableSizes().contains(QSize(side, side)));
        QVERIFY(hasOpaquePixels(icon.pixmap(side).toImage()));
    }
    // The theme's icon when a theme has it, ours otherwise: here a theme of our own that holds
    // a plain red square under the application's id.
    const QString themeName = QIcon::themeName();
    const QStringList searchPaths = QIcon::themeSearchPaths();
    QCOMPARE(Pictures::applicationIcon().pixmap(32).toImage().pixelColor(16, 16),
        icon.pixmap(32).toImage().pixelColor(16, 16));
    TempTree themes;
    themes.writeFile(u"test/index.theme"_s,
        "[Icon Theme]\nName=test\nDirectories=apps\n\n[apps]\nSize=32\nType=Scalable\n"
        "MinSize=8\nMaxSize=512\n");
    themes.writeFile(u"test/apps/org.corvane.Corvane.svg"_s,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\">"
        "<rect width=\"32\" height=\"32\" fill=\"#ff0000\"/></svg>");
    QIcon::setThemeSearchPaths({themes.path()});
    QIcon::setThemeName(u"test"_s);
    const QColor themed = Pictures::applicationIcon().pixmap(32).toImage().pixelColor(16, 16);
    QIcon::setThemeName(themeName);
    QIcon::setThemeSearchPaths(searchPaths);
    QCOMPARE(themed, QColor(Qt::red));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"missing\\.svg"_s));
    QVERIFY(Pictures::renderSvg(u":/pictures/missing.svg"_s, QSize(20, 20)).isNull());
    QVERIFY(Pictures::renderSvg(Pictures::path(Picture::ShareLink), QSize(20, 20), 0).isNull());

    // A drawing added to the folder but not to the build would be missing at run time.
    const QString source = QStringLiteral(CORVANE_SOURCE_DIR "/resources/pictures");
    for (const QString& sub : {QString(), u"/promo"_s}) {
        const QStringList files = QDir(source + sub).entryList({u"*.svg"_s}, QDir::Files);
        QVERIFY(!files.isEmpty());
        QCOMPARE(QDir(u":/pictures"_s + sub).entryList({u"*.svg"_s}, QDir::Files), files);
    }
}

QTEST_MAIN(TestPromo)
#include "tst_promo.moc"
