#include "ui/main/ChangeTracker.h"
#include "ui/main/DrawingSurface.h"
#include "ui/main/StickDrawing.h"

#include <QTest>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlack = qRgb(0, 0, 0);

DrawingSurface makeBox() {
    return DrawingSurface(3855, 9495, 1.0, Qt::white, Qt::black);
}

QRgb at(DrawingSurface& surface, int x, int y) {
    return surface.image().pixel(x, y) | 0xff000000u;
}

// Rows of one pixel column that hold a mark, between two rows inclusive.
QList<int> blackRows(DrawingSurface& surface, int x, int fromRow, int toRow) {
    QList<int> rows;
    for (int y = fromRow; y <= toRow; ++y) {
        if (at(surface, x, y) == kBlack)
            rows << y;
    }
    return rows;
}

// Pixel rows of the marks at the given twips heights.
QList<int> rowsOf(std::initializer_list<int> twips) {
    QList<int> rows;
    for (int y : twips)
        rows << y / 15;
    return rows;
}

} // namespace

// Pixels (1 px = 15 twips): the centre 1927.5 puts the stick at x 108..148; long marks reach
// x 135 (c + 100), short ones x 131 (c + 50); the rest bottom 2000 is row 133.
class TestStickDrawing : public QObject {
    Q_OBJECT
private slots:
    // The rest picture: red stick, eleven long and ten visible short marks, base line.
    void restPicture() {
        DrawingSurface right = makeBox();
        DrawingSurface left = makeBox();
        DrawSticksAtRest(right, left);

        QCOMPARE(right.width() / 2.0f, 1927.5f);
        QCOMPARE(at(right, 140, 50), kRed);
        QCOMPARE(at(right, 108, 50), kRed);
        QCOMPARE(at(right, 148, 50), kRed);
        QCOMPARE(at(right, 107, 50), kWhite);
        QCOMPARE(at(right, 149, 50), kWhite);
        QCOMPARE(at(right, 128, 134), kWhite);

        // Marks in the stick's left part, every 100 twips, the last long one at 2000.
        QCOMPARE(blackRows(right, 110, 0, 133),
                 rowsOf({0,    100,  200,  300,  400,  500,  600,  700,  800,  900, 1000,
                         1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800, 1900, 2000}));
        // Long marks reach further right than short ones.
        QCOMPARE(at(right, 133, 200 / 15), kBlack);
        QCOMPARE(at(right, 133, 100 / 15), kRed);
        QCOMPARE(at(right, 131, 100 / 15), kBlack);
        QCOMPARE(blackRows(right, 140, 0, 132), QList<int>{});

        // The base line across the whole box, over the stick's lower edge.
        QCOMPARE(at(right, 0, 133), kBlack);
        QCOMPARE(at(right, 256, 133), kBlack);
        QCOMPARE(at(right, 145, 133), kBlack);

        QCOMPARE(right.image(), left.image());
    }

    // A fall begins from a box with only the base line.
    void beginDrop() {
        DrawingSurface box = makeBox();
        DrawSticksAtRest(box, box);
        BeginDrop(box);
        QCOMPARE(at(box, 140, 50), kWhite);
        QCOMPARE(at(box, 0, 133), kBlack);
        QCOMPARE(at(box, 256, 133), kBlack);
    }

    // A frame at 2000 covers exactly the stick at rest.
    void frameAtRestBottom() {
        DrawingSurface rest = makeBox();
        DrawingSurface frame = makeBox();
        DrawSticksAtRest(rest, rest);
        BeginDrop(frame);
        DrawDropFrame(frame, 2000.0);
        const QImage a = rest.image();
        const QImage b = frame.image();
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                const bool paintedAtRest = (a.pixel(x, y) | 0xff000000u) != kWhite;
                const bool paintedInFrame = (b.pixel(x, y) | 0xff000000u) != kWhite;
                QVERIFY2(paintedAtRest == paintedInFrame,
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
    }

    // Lower frames add long marks every 200 twips and short ones between them.
    void lowerFrameAddsMarks() {
        DrawingSurface box = makeBox();
        BeginDrop(box);
        DrawDropFrame(box, 2000.0);
        DrawDropFrame(box, 2500.0);
        DrawDropFrame(box, 3000.0);
        QCOMPARE(blackRows(box, 110, 134, 250),
                 rowsOf({2100, 2200, 2300, 2400, 2500, 2600, 2700, 2800, 2900, 3000}));
        QCOMPARE(at(box, 140, 3000 / 15), kRed);
        QCOMPARE(at(box, 140, 3000 / 15 + 1), kWhite);
        // The base line stays visible beside the stick.
        QCOMPARE(at(box, 10, 133), kBlack);
    }

    // Marks come in pairs for each y <= bottom: at 2199.9 neither the long mark at 2200 nor
    // its short one at 2100 is drawn yet.
    void limitIsInclusive() {
        DrawingSurface box = makeBox();
        BeginDrop(box);
        DrawDropFrame(box, 2199.9);
        QCOMPARE(blackRows(box, 110, 134, 160), QList<int>{});
        DrawDropFrame(box, 2200.0);
        QCOMPARE(blackRows(box, 110, 134, 160), rowsOf({2100, 2200}));
    }

    // What a frame changes on screen is exactly the rows whose pixels differ from the picture
    // last taken: a falling stick goes on screen only when it looks different.
    void changedAreaIsWhatLooksDifferent_data() {
        QTest::addColumn<double>("previous");
        QTest::addColumn<double>("next");
        QTest::addColumn<int>("top");    // -1: nothing changed
        QTest::addColumn<int>("bottom"); // rows, inclusive
        // Rest picture to the first frame: only the base line's right part under the stick
        // turns red; the cleared box in between never counts.
        QTest::newRow("rest to first frame") << -1.0 << 2000.0 << 133 << 133;
        QTest::newRow("same row") << 2000.0 << 2009.0 << -1 << -1;
        QTest::newRow("next row") << 2009.0 << 2010.0 << 134 << 134;
        // The long mark at 2200 lands in the row the stick already reached, and its short
        // mark at 2100 six rows above.
        QTest::newRow("new marks in a reached row") << 2199.0 << 2200.0 << 140 << 146;
    }
    void changedAreaIsWhatLooksDifferent() {
        QFETCH(double, previous);
        QFETCH(double, next);
        QFETCH(int, top);
        QFETCH(int, bottom);
        DrawingSurface box = makeBox();
        ChangeTracker changes(box);
        if (previous < 0) {
            DrawSticksAtRest(box, box);
        } else {
            BeginDrop(box);
            DrawDropFrame(box, previous);
        }
        changes.takeChangedArea();
        if (previous < 0)
            BeginDrop(box);
        DrawDropFrame(box, next);
        const QRect changed = changes.takeChangedArea();
        if (top < 0) {
            QVERIFY2(changed.isEmpty(), qPrintable(QStringLiteral("%1").arg(changed.top())));
            return;
        }
        QCOMPARE(changed.top(), top);
        QCOMPARE(changed.bottom(), bottom);
        QVERIFY(changed.left() <= 108 && changed.right() >= 148);
        QVERIFY(changes.takeChangedArea().isEmpty());
    }

    // The picture survives a repaint from the image, and a device pixel ratio of 2 doubles it.
    void highDensityImage() {
        DrawingSurface box(3855, 9495, 2.0, Qt::white, Qt::black);
        QCOMPARE(box.image().size(), QSize(514, 1266));
        DrawSticksAtRest(box, box);
        QCOMPARE(at(box, 280, 100), kRed);
        QCOMPARE(at(box, 10, 266), kBlack);
    }
};

QTEST_GUILESS_MAIN(TestStickDrawing)
#include "tst_stickdrawing.moc"
