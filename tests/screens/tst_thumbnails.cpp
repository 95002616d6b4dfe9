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
