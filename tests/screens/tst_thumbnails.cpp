#include "TestSupport.h"

#include "media/Thumbnails.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>

namespace {

// A JPEG whose left half is red and right half blue, with an EXIF orientation tag (APP1)
// inserted right after the start-of-image marker.
QByteArray orientedJpeg(QSize size, quint16 orientation)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            picture.setPixel(x, y, qRgb(255, 0, 0));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", 95);

    QByteArray tiff("II*\0\x08\0\0\0", 8);          // little-endian header, IFD at 8
    tiff += QByteArray("\x01\0", 2);                 // one entry
    tiff += QByteArray("\x12\x01\x03\0\x01\0\0\0", 8); // 0x0112 orientation, SHORT, count 1
    tiff += char(orientation & 0xff);
    tiff += char(orientation >> 8);
    tiff += QByteArray(2, '\0');
    tiff += QByteArray(4, '\0'); // no next IFD
    QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xff\xe1", 2);
    const int length = int(app1.size()) + 2;
    segment += char(length >> 8);
    segment += char(length & 0xff);
    segment += app1;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QString writePng(const QString &path, QSize size, QColor color)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(color);
    picture.save(path, "PNG");
    return path;
}

QImage await(Thumbnails &thumbnails, const QString &path)
{
    QImage result;
    bool done = false;
    thumbnails.request(path, &thumbnails, [&](const QImage &image) {
        result = image;
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return result;
}

} // namespace

class ThumbnailsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void unchangedFileDecodesOnce()
    {
        TestSupport::TempFolders folders;
        Thumbnails thumbnails;
        const QString path = writePng(folders.path(QStringLiteral("a.png")), { 300, 150 }, Qt::red);
        // Two requests while the first decode runs share it.
        int answers = 0;
        thumbnails.request(path, this, [&](const QImage &) { ++answers; });
        thumbnails.request(path, this, [&](const QImage &) { ++answers; });
        QTRY_COMPARE(answers, 2);
        QCOMPARE(thumbnails.decodeCount(), 1);
        const QImage again = await(thumbnails, path);
        QCOMPARE(thumbnails.decodeCount(), 1);
        QCOMPARE(again.size(), QSize(88, 44));
        QCOMPARE(thumbnails.cached(path).size(), QSize(88, 44));
    }

    void replacedFileGetsNewPreview()
    {
        TestSupport::TempFolders folders;
        Thumbnails thumbnails;
        const QString path = writePng(folders.path(QStringLiteral("b.png")), { 60, 60 }, Qt::red);
        QCOMPARE(QColor(await(thumbnails, path).pixel(5, 5)), QColor(Qt::red));
        writePng(path, { 60, 60 }, Qt::blue);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(QColor(await(thumbnails, path).pixel(5, 5)), QColor(Qt::blue));
        QCOMPARE(thumbnails.decodeCount(), 2);
    }

    void unreadableFilesGiveNothing_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not an image") << QByteArray("hello, I am text");
        QTest::newRow("truncated png") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    }
    void unreadableFilesGiveNothing()
    {
        QFETCH(QByteArray, content);
        TestSupport::TempFolders folders;
        Thumbnails thumbnails;
        const QString path = folders.path(QStringLiteral("x.png"));
        if (!content.isEmpty())
            QVERIFY(TestSupport::writeFile(path, content));
        QVERIFY(await(thumbnails, path).isNull());
        QVERIFY(thumbnails.cached(path).isNull());
    }

    void smallImagesAreNotEnlarged()
    {
        TestSupport::TempFolders folders;
        const QString path = writePng(folders.path(QStringLiteral("s.png")), { 20, 10 }, Qt::green);
        QCOMPARE(Thumbnails::decode(path).size(), QSize(20, 10));
    }

    void orientationIsApplied()
    {
        TestSupport::TempFolders folders;
        const QString path = folders.path(QStringLiteral("rotated.jpg"));
        // Orientation 6: the stored picture must be turned 90° clockwise to be upright.
        QVERIFY(TestSupport::writeFile(path, orientedJpeg({ 400, 200 }, 6)));
        QImageReader raw(path);
        QCOMPARE(raw.size(), QSize(400, 200));
        const QImage preview = Thumbnails::decode(path);
        QCOMPARE(preview.size(), QSize(44, 88));
        // The left (red) half of the stored picture is on top once upright.
        const QColor top(preview.pixel(22, 10));
        const QColor bottom(preview.pixel(22, 78));
        QVERIFY2(top.red() > 200 && top.blue() < 60, qPrintable(top.name()));
        QVERIFY2(bottom.blue() > 200 && bottom.red() < 60, qPrintable(bottom.name()));
    }

    // A palette-based (indexed-colour) PNG keeps its colours: no grey, no dithering.
    void palettePngKeepsItsColours_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("transparent");
        QTest::newRow("scaled down") << QSize(400, 200) << false;
        QTest::newRow("scaled down, with a transparent entry") << QSize(400, 200) << true;
        QTest::newRow("small, not scaled") << QSize(80, 40) << false;
    }
    void palettePngKeepsItsColours()
    {
        QFETCH(QSize, size);
        QFETCH(bool, transparent);
        TestSupport::TempFolders folders;
        const QString path = folders.path(QStringLiteral("palette.png"));
        // Four vertical bands, one colour-table entry each.
        const QList<QRgb> colours { qRgb(220, 30, 30), qRgb(20, 160, 40), qRgb(30, 60, 210),
                                    transparent ? qRgba(0, 0, 0, 0) : qRgb(240, 150, 0) };
        QImage picture(size, QImage::Format_Indexed8);
        picture.setColorTable(colours);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                picture.setPixel(x, y, uint(x * 4 / size.width()));
        QVERIFY(picture.save(path, "PNG"));
        QImageReader stored(path);
        QCOMPARE(stored.imageFormat(), QImage::Format_Indexed8);

        const QImage preview = Thumbnails::decode(path);
        QVERIFY(!preview.isNull());
        QVERIFY2(std::max(preview.width(), preview.height()) <= Thumbnails::maxPixelSize,
                 qPrintable(QStringLiteral("%1×%2").arg(preview.width()).arg(preview.height())));
        QVERIFY2(preview.format() != QImage::Format_Indexed8 && !preview.isGrayscale(),
                 qPrintable(QString::number(int(preview.format()))));
        // Every pixel well inside a band has the band's colour (a few units of rounding at most).
        const int band = preview.width() / 4;
        for (int i = 0; i < 4; ++i) {
            const QColor expected = QColor::fromRgba(colours.at(i));
            for (int y = 2; y < preview.height() - 2; ++y) {
                for (int x = i * band + 2; x < (i + 1) * band - 2; ++x) {
                    const QColor got = preview.pixelColor(x, y);
                    if (expected.alpha() == 0) {
                        QVERIFY2(got.alpha() == 0, qPrintable(got.name(QColor::HexArgb)));
                        continue;
                    }
                    const bool close = qAbs(got.red() - expected.red()) <= 3
                        && qAbs(got.green() - expected.green()) <= 3
                        && qAbs(got.blue() - expected.blue()) <= 3 && got.alpha() == 255;
                    QVERIFY2(close,
                             qPrintable(QStringLiteral("band %1 at %2,%3: %4, want %5")
                                            .arg(i)
                                            .arg(x)
                                            .arg(y)
                                            .arg(got.name(QColor::HexArgb), expected.name())));
                }
            }
        }
    }

    // A palette of many colours sweeping across the picture: the preview follows the sweep
    // smoothly, each column one colour (dithering would scatter other palette entries).
    void palettePngGradientIsSmooth()
    {
        TestSupport::TempFolders folders;
        const QString path = folders.path(QStringLiteral("sweep.png"));
        QList<QRgb> colours;
        for (int i = 0; i < 256; ++i)
            colours << QColor::fromHsv(i * 300 / 255, 200, 230).rgb();
        colours[255] = qRgba(0, 0, 0, 0); // one transparent entry, as exported art often has
        const QSize size(510, 255);
        QImage picture(size, QImage::Format_Indexed8);
        picture.setColorTable(colours);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                picture.setPixel(x, y, y < 3 ? 255u : uint(std::min(254, x / 2)));
        QVERIFY(picture.save(path, "PNG"));

        const QImage preview = Thumbnails::decode(path);
        QCOMPARE(preview.size(), QSize(88, 44));
        for (int x = 2; x < preview.width() - 2; ++x) {
            const QColor source = QColor::fromRgb(
                colours.at(std::min(254, int((x + 0.5) * size.width() / preview.width()) / 2)));
            const QColor top = preview.pixelColor(x, 4);
            for (int y = 4; y < preview.height() - 2; ++y) {
                const QColor got = preview.pixelColor(x, y);
                QVERIFY2(got == top,
                         qPrintable(QStringLiteral("column %1 varies: %2 and %3")
                                        .arg(x)
                                        .arg(top.name(), got.name())));
            }
            const int distance = qAbs(top.red() - source.red()) + qAbs(top.green() - source.green())
                + qAbs(top.blue() - source.blue());
            QVERIFY2(distance <= 30,
                     qPrintable(QStringLiteral("column %1: %2, want about %3")
                                    .arg(x)
                                    .arg(top.name(), source.name())));
        }
    }

    void goneContextIsNotCalled()
    {
        TestSupport::TempFolders folders;
        Thumbnails thumbnails;
        const QString path = writePng(folders.path(QStringLiteral("c.png")), { 50, 50 }, Qt::red);
        bool called = false;
        auto *context = new QObject;
        thumbnails.request(path, context, [&](const QImage &) { called = true; });
        delete context;
        QSignalSpy ready(&thumbnails, &Thumbnails::ready);
        QTRY_COMPARE(ready.count(), 1);
        QVERIFY(!called);
    }
};

QTEST_MAIN(ThumbnailsTest)
#include "tst_thumbnails.moc"
