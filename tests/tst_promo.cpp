#include "Pictures.h"
#include "PromotedApplications.h"
#include "Recommendation.h"
#include "TempTree.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QTest>
#include <QUrl>

Q_DECLARE_METATYPE(Pictures::Picture)

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

QString desktopFileName(int number)
{
    return PromotedApplications::entry(number)->desktopId + u".desktop";
}

} // namespace

class TestPromo : public QObject
{
    Q_OBJECT

private slots:
    void listHasTwentyThreeCompleteEntries();
    void cardsCarryTheSixKeys();
    void candidatesAndTheirTexts();
    void promoIconsAreOwnSvgs_data();
    void promoIconsAreOwnSvgs();

    void nothingInstalledBeforeOrAfterAFirstCheck();
    void onlyTheExactFileCounts_data();
    void onlyTheExactFileCounts();
    void flagsChangeOnlyAtTheNextCheck();

    void rotation_data();
    void rotation();
    void advanceKeepsTheRotationInUserDefaults_data();
    void advanceKeepsTheRotationInUserDefaults();
    void successiveLoadsRecommendInTurn();

    void picturesRender_data();
    void picturesRender();
    void unreadablePictureOrBadRatioRendersNull();
    void everyPictureFileIsRegistered();
    void applicationIconHasEverySize();
};

void TestPromo::listHasTwentyThreeCompleteEntries()
{
    const auto& entries = PromotedApplications::entries();
    QCOMPARE(entries.size(), 23);

    QSet<QString> ids;
    QSet<QString> titles;
    QSet<QString> icons;
    for (int i = 0; i < entries.size(); ++i) {
        const PromotedApplication& app = entries[i];
        QCOMPARE(app.number, i + 1);
        QCOMPARE(PromotedApplications::entry(app.number), &app);
        QVERIFY2(!app.title.isEmpty() && !app.description.isEmpty() && !app.category.isEmpty(),
            qPrintable(QString::number(app.number)));

        const QUrl url(app.apppath, QUrl::StrictMode);
        QVERIFY2(url.isValid() && url.scheme() == u"https" && !url.host().isEmpty(),
            qPrintable(app.apppath));

        // The ID becomes a file name: no folders, no suffix of its own.
        QVERIFY2(!app.desktopId.isEmpty() && !app.desktopId.contains(u'/')
                && !app.desktopId.endsWith(u".desktop"),
            qPrintable(app.desktopId));
        ids.insert(app.desktopId);
        titles.insert(app.title);
        icons.insert(app.iconPath);
    }
    QCOMPARE(ids.size(), 23);
    QCOMPARE(titles.size(), 23);
    QCOMPARE(icons.size(), 23);

    QCOMPARE(PromotedApplications::entry(0), nullptr);
    QCOMPARE(PromotedApplications::entry(24), nullptr);
}

void TestPromo::cardsCarryTheSixKeys()
{
    const QStringList keys {QStringLiteral("Title"), QStringLiteral("apppath"),
        QStringLiteral("category"), QStringLiteral("description"), QStringLiteral("icon"),
        QStringLiteral("isappStore")};
    for (const PromotedApplication& app : PromotedApplications::entries()) {
        const QVariantMap card = PromotedApplications::card(app.number);
        QCOMPARE(card.keys(), keys);
        QCOMPARE(card.value(QStringLiteral("Title")).toString(), app.title);
        QCOMPARE(card.value(QStringLiteral("description")).toString(), app.description);
        QCOMPARE(card.value(QStringLiteral("icon")).toString(), app.iconPath);
        QCOMPARE(card.value(QStringLiteral("apppath")).toString(), app.apppath);
        QCOMPARE(card.value(QStringLiteral("category")).toString(), app.category);
        QCOMPARE(card.value(QStringLiteral("isappStore")).metaType(), QMetaType::fromType<bool>());
        QCOMPARE(card.value(QStringLiteral("isappStore")).toBool(), app.isappStore);
    }
    QVERIFY(PromotedApplications::card(0).isEmpty());
    QVERIFY(PromotedApplications::card(24).isEmpty());
}

void TestPromo::candidatesAndTheirTexts()
{
    QCOMPARE(PromotedApplications::candidates, (std::array<int, 3> {7, 3, 2}));
    QCOMPARE(PromotedApplications::topRatedKey(0), QStringLiteral("IDS_KQ_43"));
    QCOMPARE(PromotedApplications::topRatedKey(1), QStringLiteral("IDS_KQ_44"));
    QCOMPARE(PromotedApplications::topRatedKey(2), QStringLiteral("IDS_KQ_45"));
    QVERIFY(PromotedApplications::topRatedKey(-1).isEmpty());
    QVERIFY(PromotedApplications::topRatedKey(3).isEmpty());
}

void TestPromo::promoIconsAreOwnSvgs_data()
{
    QTest::addColumn<int>("number");
    for (const PromotedApplication& app : PromotedApplications::entries())
        QTest::addRow("%d %s", app.number, qPrintable(app.title)) << app.number;
}

void TestPromo::promoIconsAreOwnSvgs()
{
    QFETCH(int, number);
    const QString path = PromotedApplications::entry(number)->iconPath;
    QVERIFY2(path.startsWith(u":/pictures/promo/"), qPrintable(path));
    QSvgRenderer renderer(path);
    QVERIFY2(renderer.isValid(), qPrintable(path));
    QCOMPARE(renderer.defaultSize(), QSize(128, 128));

    // The candidates' icons stand in for 128 x 128 pictures, so they must fill that box.
    const QImage image = Pictures::renderSvg(path, QSize(128, 128)).toImage();
    QCOMPARE(image.size(), QSize(128, 128));
    QVERIFY(hasOpaquePixels(image));

    // A copied file would give two applications the same picture.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    for (const PromotedApplication& other : PromotedApplications::entries()) {
        if (other.number == number)
            continue;
        QFile otherFile(other.iconPath);
        QVERIFY(otherFile.open(QIODevice::ReadOnly));
        QVERIFY2(otherFile.readAll() != content, qPrintable(other.iconPath));
    }
}

void TestPromo::nothingInstalledBeforeOrAfterAFirstCheck()
{
    TempTree tree;
    PromotedApplications apps(tree.makeDir(QStringLiteral("applications")));
    for (int number = 1; number <= 23; ++number)
        QVERIFY(!apps.isInstalled(number));

    // Unrelated desktop files do not make anything count as installed.
    tree.writeFile(QStringLiteral("applications/org.example.Other.desktop"), "[Desktop Entry]\n");
    apps.checkInstalled();
    for (int number = 1; number <= 23; ++number)
        QVERIFY2(!apps.isInstalled(number), qPrintable(QString::number(number)));
    QCOMPARE(apps.candidatesInstalled(), (std::array<bool, 3> {false, false, false}));

    // Nothing installed: the welcome window's choice, the rotation's first pick, is A.
    QCOMPARE(Recommendation::choose(apps.candidatesInstalled(), Recommendation::Stored::absent())
                 .candidate,
        std::optional<int>(0));
}

void TestPromo::onlyTheExactFileCounts_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<bool>("counts");

    const QString name = desktopFileName(7);
    QTest::newRow("in the applications folder") << u"applications/"_s + name << true;
    QTest::newRow("a per-user copy elsewhere")
        << u"home/.local/share/applications/"_s + name << false;
    QTest::newRow("in a subfolder") << u"applications/kde/"_s + name << false;
    QTest::newRow("without the suffix")
        << u"applications/"_s + PromotedApplications::entry(7)->desktopId << false;
    QTest::newRow("with another suffix") << u"applications/"_s + name + u".bak" << false;
    QTest::newRow("other letter case") << u"applications/"_s + name.toLower() << false;
}

void TestPromo::onlyTheExactFileCounts()
{
    QFETCH(QString, relativePath);
    QFETCH(bool, counts);

    TempTree tree;
    PromotedApplications apps(tree.makeDir(QStringLiteral("applications")));
    tree.writeFile(relativePath, "[Desktop Entry]\n");
    apps.checkInstalled();

    QCOMPARE(apps.isInstalled(7), counts);
    for (int number = 1; number <= 23; ++number) {
        if (number != 7)
            QVERIFY2(!apps.isInstalled(number), qPrintable(QString::number(number)));
    }
    QCOMPARE(apps.candidatesInstalled(), (std::array<bool, 3> {counts, false, false}));
}

void TestPromo::flagsChangeOnlyAtTheNextCheck()
{
    TempTree tree;
    PromotedApplications apps(tree.makeDir(QStringLiteral("applications")));
    apps.checkInstalled();

    const QString placed = tree.writeFile(u"applications/"_s + desktopFileName(2), "x");
    QVERIFY(!apps.isInstalled(2));
    apps.checkInstalled();
    QVERIFY(apps.isInstalled(2));
    QCOMPARE(apps.candidatesInstalled(), (std::array<bool, 3> {false, false, true}));

    tree.writeFile(u"applications/"_s + desktopFileName(13), "x");
    QVERIFY(QFile::remove(placed));
    QVERIFY(apps.isInstalled(2));
    QVERIFY(!apps.isInstalled(13));
    apps.checkInstalled();
    QVERIFY(!apps.isInstalled(2));
    QVERIFY(apps.isInstalled(13));

    QVERIFY(!apps.isInstalled(0));
    QVERIFY(!apps.isInstalled(24));
}

void TestPromo::rotation_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QVariant>("stored"); // an integer, or invalid for a value of another type
    QTest::addColumn<int>("candidate"); // -1: none
    QTest::addColumn<int>("store"); // -1: nothing stored
    QTest::addColumn<bool>("hidden");

    const QVariant other;
    auto row = [](const char* name, const char* installed, bool present, QVariant stored,
                   int candidate, int store, bool hidden) {
        QTest::newRow(name) << QString::fromLatin1(installed) << present << stored << candidate
                            << store << hidden;
    };

    // Absent: 0 is stored, read back, and the rotation then moves on to 1.
    row("absent, none installed", "", false, {}, 0, 1, false);
    row("absent, A installed", "A", false, {}, 1, 1, false);
    row("absent, A B installed", "AB", false, {}, 2, 1, false);
    row("absent, A C installed", "AC", false, {}, 1, 1, true);
    row("absent, all installed", "ABC", false, {}, -1, 1, true);

    // 0: first, second, third; stores 1.
    row("0, none installed", "", true, 0, 0, 1, false);
    row("0, A installed", "A", true, 0, 1, 1, false);
    row("0, B installed", "B", true, 0, 0, 1, false);
    row("0, A B installed", "AB", true, 0, 2, 1, false);
    row("0, B C installed", "BC", true, 0, 0, 1, false);
    row("0, A C installed: B chosen, box hidden", "AC", true, 0, 1, 1, true);
    row("0, all installed", "ABC", true, 0, -1, 1, true);

    // 1: second, third, first; stores 2.
    row("1, none installed", "", true, 1, 1, 2, false);
    row("1, B installed", "B", true, 1, 2, 2, false);
    row("1, C installed", "C", true, 1, 1, 2, false);
    row("1, B C installed", "BC", true, 1, 0, 2, false);
    row("1, A B installed", "AB", true, 1, 2, 2, false);
    row("1, A C installed", "AC", true, 1, 1, 2, true);
    row("1, all installed", "ABC", true, 1, -1, 2, true);

    // 2: third, first, second; stores 0.
    row("2, none installed", "", true, 2, 2, 0, false);
    row("2, only C installed", "C", true, 2, 0, 0, false);
    row("2, A installed", "A", true, 2, 2, 0, false);
    row("2, A C installed", "AC", true, 2, 1, 0, true);
    row("2, B C installed", "BC", true, 2, 0, 0, false);
    row("2, all installed", "ABC", true, 2, -1, 0, true);

    // Anything else: first, second, third, and the stored value stays.
    row("other type, none installed", "", true, other, 0, -1, false);
    row("other type, A installed", "A", true, other, 1, -1, false);
    row("other type, A C installed", "AC", true, other, 1, -1, true);
    row("3, none installed", "", true, 3, 0, -1, false);
    row("3, A installed", "A", true, 3, 1, -1, false);
    row("-1, B installed", "B", true, -1, 0, -1, false);
    row("large, C installed", "C", true, qint64(1) << 40, 0, -1, false);
    row("3, all installed", "ABC", true, 3, -1, -1, true);
}

void TestPromo::rotation()
{
    QFETCH(QString, installed);
    QFETCH(bool, present);
    QFETCH(QVariant, stored);
    QFETCH(int, candidate);
    QFETCH(int, store);
    QFETCH(bool, hidden);

    Recommendation::Stored value = Recommendation::Stored::absent();
    if (present)
        value = stored.isValid() ? Recommendation::Stored::ofInteger(stored.toLongLong())
                                 : Recommendation::Stored::ofOtherType();

    const Recommendation result = Recommendation::choose(installedFrom(installed), value);
    QCOMPARE(result.candidate, candidate < 0 ? std::nullopt : std::optional<int>(candidate));
    QCOMPARE(result.valueToStore, store < 0 ? std::nullopt : std::optional<qint64>(store));
    QCOMPARE(result.hideBox, hidden);
}

void TestPromo::advanceKeepsTheRotationInUserDefaults_data()
{
    QTest::addColumn<QVariant>("initial"); // invalid: key absent
    QTest::addColumn<QString>("installed");
    QTest::addColumn<int>("candidate");
    QTest::addColumn<QVariant>("after");

    QTest::newRow("absent") << QVariant() << u""_s << 0 << QVariant(qint64(1));
    QTest::newRow("2, only C installed")
        << QVariant(qint64(2)) << u"C"_s << 0 << QVariant(qint64(0));
    QTest::newRow("1, A C installed") << QVariant(qint64(1)) << u"AC"_s << 1 << QVariant(qint64(2));
    QTest::newRow("string \"1\" is left alone")
        << QVariant(u"1"_s) << u""_s << 0 << QVariant(u"1"_s);
    QTest::newRow("7 is left alone") << QVariant(qint64(7)) << u"A"_s << 1 << QVariant(qint64(7));
}

void TestPromo::advanceKeepsTheRotationInUserDefaults()
{
    QFETCH(QVariant, initial);
    QFETCH(QString, installed);
    QFETCH(int, candidate);
    QFETCH(QVariant, after);

    TempTree tree;
    const QString file = tree.path(QStringLiteral("defaults.plist"));
    {
        UserDefaults defaults(file);
        if (initial.typeId() == QMetaType::QString)
            QVERIFY(defaults.setString(Recommendation::key(), initial.toString()));
        else if (initial.isValid())
            QVERIFY(defaults.setInteger(Recommendation::key(), initial.toLongLong()));

        const Recommendation result = Recommendation::advance(defaults, installedFrom(installed));
        QCOMPARE(result.candidate, std::optional<int>(candidate));
    }

    // Read back from disk, as the next run of the result screen would.
    UserDefaults reread(file);
    if (after.typeId() == QMetaType::QString) {
        QCOMPARE(reread.stringForKey(Recommendation::key()), std::optional(after.toString()));
    } else {
        QCOMPARE(
            reread.integerForKey(Recommendation::key()), std::optional<qint64>(after.toLongLong()));
    }
}

void TestPromo::successiveLoadsRecommendInTurn()
{
    TempTree tree;
    UserDefaults defaults(tree.path(QStringLiteral("defaults.plist")));
    QList<int> shown;
    for (int load = 0; load < 6; ++load)
        shown.append(Recommendation::advance(defaults, {false, false, false}).candidate.value());
    QCOMPARE(shown, (QList<int> {0, 1, 2, 0, 1, 2}));

    // With B installed the rotation still advances, and B is skipped.
    shown.clear();
    for (int load = 0; load < 3; ++load)
        shown.append(Recommendation::advance(defaults, {false, true, false}).candidate.value());
    QCOMPARE(shown, (QList<int> {0, 2, 2}));
    QCOMPARE(defaults.integerForKey(Recommendation::key()), std::optional<qint64>(0));
}

void TestPromo::picturesRender_data()
{
    QTest::addColumn<Pictures::Picture>("picture");
    QTest::addColumn<QSize>("size");

    using Pictures::Picture;
    QTest::newRow("home drop target") << Picture::HomeDrop << QSize(200, 160);
    QTest::newRow("progress") << Picture::Progress << QSize(160, 160);
    QTest::newRow("result badge") << Picture::ResultBadge << QSize(32, 32);
    QTest::newRow("result illustration") << Picture::ResultIllustration << QSize(128, 128);
    QTest::newRow("share link") << Picture::ShareLink << QSize(20, 20);
    QTest::newRow("community link") << Picture::CommunityLink << QSize(20, 20);
    QTest::newRow("application icon") << Picture::ApplicationIcon << QSize(256, 256);
}

void TestPromo::picturesRender()
{
    QFETCH(Pictures::Picture, picture);
    QFETCH(QSize, size);

    QSvgRenderer renderer(Pictures::path(picture));
    QVERIFY2(renderer.isValid(), qPrintable(Pictures::path(picture)));
    // The drawing's own size is what the screens lay out around.
    QCOMPARE(renderer.defaultSize(), size);
    QCOMPARE(Pictures::naturalSize(picture), size);

    const QPixmap natural = Pictures::pixmap(picture);
    QCOMPARE(natural.size(), size);
    QVERIFY(hasOpaquePixels(natural.toImage()));

    // On a high-density screen the pixels double, the logical size stays.
    const QPixmap sharp = Pictures::pixmap(picture, {}, 2.0);
    QCOMPARE(sharp.size(), size * 2);
    QCOMPARE(sharp.deviceIndependentSize().toSize(), size);

    // A box of other proportions keeps the drawing's own and centres it: the middle third is
    // the natural rendering, the thirds either side stay empty.
    const int w = size.width();
    const QImage wide = Pictures::pixmap(picture, QSize(w * 3, size.height())).toImage();
    QCOMPARE(wide.size(), QSize(w * 3, size.height()));
    QCOMPARE(wide.copy(w, 0, w, size.height()), natural.toImage());
    QVERIFY(!hasOpaquePixels(wide.copy(0, 0, w, size.height())));
    QVERIFY(!hasOpaquePixels(wide.copy(2 * w, 0, w, size.height())));
}

void TestPromo::unreadablePictureOrBadRatioRendersNull()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"missing\\.svg"_s));
    QVERIFY(Pictures::renderSvg(u":/pictures/missing.svg"_s, QSize(20, 20)).isNull());
    QVERIFY(Pictures::renderSvg(Pictures::path(Pictures::Picture::ShareLink), QSize(20, 20), 0)
                .isNull());
}

void TestPromo::everyPictureFileIsRegistered()
{
    // A drawing added to the folder but not to the build would be missing at run time.
    const QString source = QStringLiteral(CORVANE_SOURCE_DIR "/resources/pictures");
    for (const QString& sub : {QString(), QStringLiteral("/promo")}) {
        const QStringList files = QDir(source + sub).entryList({u"*.svg"_s}, QDir::Files);
        QVERIFY(!files.isEmpty());
        const QStringList resources
            = QDir(u":/pictures"_s + sub).entryList({u"*.svg"_s}, QDir::Files);
        QCOMPARE(resources, files);
    }
    QVERIFY(QFile::exists(u":/icons/corvane.svg"_s));
}

void TestPromo::applicationIconHasEverySize()
{
    const QIcon icon = Pictures::applicationIcon();
    QVERIFY(!icon.isNull());

    QList<QSize> expected;
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        expected.append(QSize(side, side));
    QList<QSize> sizes = icon.availableSizes();
    std::sort(sizes.begin(), sizes.end(),
        [](const QSize& a, const QSize& b) { return a.width() < b.width(); });
    QCOMPARE(sizes, expected);

    for (const QSize& size : expected) {
        const QImage image = icon.pixmap(size).toImage();
        QCOMPARE(image.size(), size);
        QVERIFY2(hasOpaquePixels(image), qPrintable(QString::number(size.width())));
    }
}

QTEST_MAIN(TestPromo)
#include "tst_promo.moc"
