// Turns the manual's Markdown chapters into one PDF: a title page, a table of
// contents with page numbers, the chapters with their pictures scaled to the
// page width, and a page number at the foot of every page but the first. Qt
// Gui only, so the build needs no other tool.
//
// The body is laid out as one long page and cut into pages here, not by Qt:
// Qt would cut table rows in two and can keep no heading with what follows.
// Cuts fall only between lines, table rows and pictures; a heading goes with
// the two lines after it, a table's head row with its first row, and a chapter
// starts a new page only when less than a third of the current one is left.
//   mkmanual [--logo PNG] OUT.pdf TITLE SUBTITLE CHAPTER.md...
// Pictures are looked up relative to the first chapter's folder.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <cstdio>

namespace {

const int Dpi = 96;
const qreal FooterHeight = 28;
const QColor HeadingColour(13, 92, 166); // the buttons' blue

struct Heading {
    int level;
    QString text;
    int page; // 0-based, within the body
};

// A stretch of the laid-out body that no page cut may go through.
struct Unit {
    qreal top;
    qreal bottom;
    int heading = 0;           // its level, for a heading's line
    bool keepWithNext = false; // a table's head row
};

// Tables get thin grey rules; Markdown gives them none.
void styleTable(QTextTable* table)
{
    QTextTableFormat f = table->format();
    f.setBorder(1);
    f.setBorderBrush(QColor(170, 170, 170));
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBorderCollapse(true);
    f.setCellPadding(3);
    f.setCellSpacing(0);
    f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    table->setFormat(f);
    for (int col = 0; col < table->columns(); ++col) {
        QTextTableCell cell = table->cellAt(0, col);
        QTextCharFormat head = cell.format();
        head.setBackground(QColor(226, 234, 244));
        cell.setFormat(head);
    }
}

// Pictures wider than the text are scaled down to it, keeping their aspect.
// False when the picture is missing.
bool fitImage(QTextDocument& doc, QTextImageFormat& img, const QString& baseDir, qreal width)
{
    const QString path = QUrl(img.name()).isRelative() ? baseDir + QLatin1Char('/') + img.name() : img.name();
    const QImage image(path);
    if (image.isNull()) {
        std::fprintf(stderr, "mkmanual: picture %s not found\n", qPrintable(path));
        return false;
    }
    // Handed to the document itself: it would not find a relative name.
    doc.addResource(QTextDocument::ImageResource, QUrl(img.name()), image);
    const qreal w = qMin<qreal>(image.width(), width);
    img.setWidth(w);
    img.setHeight(image.height() * w / image.width());
    return true;
}

// Block b's format changed by change, and format merged into all its characters.
template <class Change>
void restyleBlock(const QTextBlock& b, Change change, const QTextCharFormat& format)
{
    QTextBlockFormat f = b.blockFormat();
    change(f);
    QTextCursor c(b);
    c.setBlockFormat(f);
    c.select(QTextCursor::BlockUnderCursor);
    c.mergeCharFormat(format);
}

// One pass over the body: headings get some air above them (chapters more),
// tables their rules, code (inline or in blocks) a monospaced face with blocks
// on a grey ground, and pictures the text's width at most.
void styleBody(QTextDocument& doc, const QString& baseDir, qreal width)
{
    QTextCharFormat mono;
    mono.setFontFamily(QStringLiteral("DejaVu Sans Mono"));
    mono.setFontFamilies({QStringLiteral("DejaVu Sans Mono")});
    mono.setFontPointSize(9);
    QTextCharFormat heading;
    heading.setForeground(HeadingColour);
    QSet<QTextTable*> tables;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (const int level = b.blockFormat().headingLevel()) {
            restyleBlock(b, [level](QTextBlockFormat& f) {
                f.setTopMargin(level == 1 ? 28 : 14);
                f.setBottomMargin(6);
            }, heading);
        }
        QTextTable* table = QTextCursor(b).currentTable();
        if (table && !tables.contains(table)) {
            tables.insert(table);
            styleTable(table);
        }
        if (b.blockFormat().hasProperty(QTextFormat::BlockCodeFence)) {
            restyleBlock(b, [](QTextBlockFormat& f) {
                f.setBackground(QColor(238, 241, 245));
                f.setLeftMargin(8);
            }, mono);
            continue;
        }
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            QTextCharFormat f = frag.charFormat();
            QTextCursor c(&doc);
            c.setPosition(frag.position());
            c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            // The importer marks code spans only by giving them the system's
            // fixed font, which need not be monospaced (offscreen: it is not).
            if (f.fontFixedPitch() || f.hasProperty(QTextFormat::FontFamily)) {
                c.mergeCharFormat(mono);
                f = c.charFormat();
            }
            QTextImageFormat img = f.toImageFormat();
            if (f.isImageFormat() && fitImage(doc, img, baseDir, width))
                c.setCharFormat(img);
        }
    }
}

QVector<Unit> units(QTextDocument& doc)
{
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    QVector<Unit> list;
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (QTextTable* table = qobject_cast<QTextTable*>(it.currentFrame())) {
            const qreal inset = table->format().cellPadding() + table->format().border();
            QVector<qreal> tops;
            for (int r = 0; r < table->rows(); ++r) {
                qreal top = layout->frameBoundingRect(table).bottom();
                for (int c = 0; c < table->columns(); ++c)
                    top = qMin(top, layout->blockBoundingRect(table->cellAt(r, c).firstCursorPosition().block()).top());
                tops << top - inset;
            }
            tops << layout->frameBoundingRect(table).bottom();
            for (int r = 0; r < table->rows(); ++r)
                list.push_back({tops[r], tops[r + 1], 0, r == 0 && table->rows() > 1});
            continue;
        }
        const QTextBlock b = it.currentBlock();
        if (!b.isValid() || !b.layout())
            continue;
        const QRectF r = layout->blockBoundingRect(b);
        const QTextLayout* lines = b.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            list.push_back({r.top() + line.y(), r.top() + line.y() + line.height(), b.blockFormat().headingLevel()});
        }
    }
    return list;
}

// The top of each page within the long body, and the end of the last one.
QVector<qreal> pageCuts(const QVector<Unit>& list, qreal pageHeight)
{
    QVector<qreal> cuts{0};
    for (int i = 0; i < list.size(); ++i) {
        const Unit& u = list[i];
        // What must go on the same page as this unit.
        int last = i;
        if (u.heading > 0)
            last = qMin(int(list.size()) - 1, i + 2);
        while (list[last].keepWithNext && last + 1 < list.size())
            ++last;
        const qreal top = cuts.last();
        if (u.top <= top)
            continue;
        const bool chapterLow = u.heading == 1 && top + pageHeight - u.top < pageHeight / 3;
        if (chapterLow || list[last].bottom - top > pageHeight)
            cuts << u.top;
    }
    cuts << (list.isEmpty() ? 0 : list.last().bottom);
    return cuts;
}

int pageOf(const QVector<qreal>& cuts, qreal y)
{
    int page = 0;
    while (page + 2 < cuts.size() && cuts[page + 1] <= y)
        ++page;
    return page;
}

QVector<Heading> headings(QTextDocument& doc, const QVector<qreal>& cuts)
{
    QVector<Heading> list;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level < 1 || level > 2)
            continue;
        const qreal top = doc.documentLayout()->blockBoundingRect(b).top() + b.layout()->lineAt(0).y();
        list.push_back({level, b.text(), pageOf(cuts, top)});
    }
    return list;
}

QTextCharFormat titleFormat(qreal points)
{
    QTextCharFormat f;
    f.setFontPointSize(points);
    f.setFontWeight(QFont::Bold);
    f.setForeground(HeadingColour);
    return f;
}

// Title page, then the contents; bodyOffset is the first body page's number.
void buildFront(QTextDocument& front, const QString& title, const QString& subtitle, const QImage& logo,
                const QVector<Heading>& list, int bodyOffset)
{
    front.clear();
    QTextCursor c(&front);
    // The first block's top margin counts for nothing: the title hangs below an empty one.
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setTopMargin(200);
    c.insertBlock(centred);
    if (!logo.isNull()) {
        front.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("logo")), logo);
        QTextImageFormat img;
        img.setName(QStringLiteral("logo"));
        img.setWidth(128);
        img.setHeight(128);
        c.insertImage(img);
        centred.setTopMargin(24);
        c.insertBlock(centred);
    }
    c.insertText(title, titleFormat(28));
    QTextBlockFormat sub;
    sub.setAlignment(Qt::AlignHCenter);
    sub.setTopMargin(16);
    QTextCharFormat plain;
    plain.setFontPointSize(13);
    c.insertBlock(sub);
    c.insertText(subtitle, plain);

    QTextBlockFormat contents;
    contents.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    contents.setBottomMargin(12);
    c.insertBlock(contents);
    c.insertText(QStringLiteral("Contents"), titleFormat(18));

    QTextTableFormat tf;
    tf.setBorder(0);
    tf.setCellPadding(2);
    tf.setCellSpacing(0);
    tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    tf.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 92),
                                  QTextLength(QTextLength::PercentageLength, 8)});
    QTextTable* table = c.insertTable(list.size(), 2, tf);
    for (int i = 0; i < list.size(); ++i) {
        const Heading& h = list[i];
        QTextCharFormat f;
        f.setFontPointSize(h.level == 1 ? 11 : 10);
        f.setFontWeight(h.level == 1 ? QFont::Bold : QFont::Normal);
        QTextCursor left = table->cellAt(i, 0).firstCursorPosition();
        QTextBlockFormat indent;
        indent.setLeftMargin(h.level == 1 ? 0 : 18);
        indent.setTopMargin(h.level == 1 && i > 0 ? 6 : 0);
        left.setBlockFormat(indent);
        left.insertText(h.text, f);
        QTextCursor right = table->cellAt(i, 1).firstCursorPosition();
        QTextBlockFormat alignRight;
        alignRight.setAlignment(Qt::AlignRight);
        alignRight.setTopMargin(indent.topMargin());
        right.setBlockFormat(alignRight);
        right.insertText(QString::number(h.page + bodyOffset), f);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    QImage logo;
    if (args.value(1) == QLatin1String("--logo")) {
        logo.load(args.value(2));
        args.erase(args.begin() + 1, args.begin() + 3);
    }
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: mkmanual [--logo PNG] OUT.pdf TITLE SUBTITLE CHAPTER.md...\n");
        return 2;
    }
    QString markdown;
    for (int i = 4; i < args.size(); ++i) {
        QFile f(args[i]);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "mkmanual: cannot read %s\n", qPrintable(args[i]));
            return 1;
        }
        markdown += QString::fromUtf8(f.readAll()) + QStringLiteral("\n\n");
    }
    const QString baseDir = QFileInfo(args[4]).absolutePath();

    QPdfWriter writer(args[1]);
    writer.setResolution(Dpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(18, 16, 18, 12), QPageLayout::Millimeter);
    writer.setTitle(args[2]);
    writer.setCreator(QStringLiteral("mkmanual"));
    const QRect paint = writer.pageLayout().paintRectPixels(Dpi);
    const QSizeF body(paint.width(), paint.height() - FooterHeight);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9.5);
    const auto setUp = [&](QTextDocument& doc) {
        doc.documentLayout()->setPaintDevice(&writer);
        doc.setDefaultFont(font);
        doc.setDocumentMargin(0);
        doc.setPageSize(body);
    };

    QTextDocument doc;
    setUp(doc);
    // One long page, cut by pageCuts().
    doc.setPageSize(QSizeF(body.width(), -1));
    // A word never breaks; a table's columns widen to its longest one.
    QTextOption wrap = doc.defaultTextOption();
    wrap.setWrapMode(QTextOption::WordWrap);
    doc.setDefaultTextOption(wrap);
    doc.setMarkdown(markdown);
    styleBody(doc, baseDir, body.width());
    const QVector<qreal> cuts = pageCuts(units(doc), body.height());
    const QVector<Heading> list = headings(doc, cuts);

    // Contents numbers depend on how many pages the front takes: lay it out
    // once to count them, then again with the real numbers.
    QTextDocument front;
    setUp(front);
    buildFront(front, args[2], args[3], logo, list, 1);
    const int frontPages = front.pageCount();
    buildFront(front, args[2], args[3], logo, list, frontPages + 1);
    if (front.pageCount() != frontPages)
        return 1;

    QPainter painter(&writer);
    QFont footerFont = font;
    footerFont.setPointSizeF(8);
    int page = 0;
    for (QTextDocument* d : {&front, &doc}) {
        const int pages = d == &front ? d->pageCount() : int(cuts.size()) - 1;
        for (int i = 0; i < pages; ++i, ++page) {
            if (page > 0)
                writer.newPage();
            const qreal top = d == &front ? i * body.height() : cuts[i];
            const qreal height = d == &front ? body.height() : cuts[i + 1] - top;
            painter.save();
            painter.translate(0, -top);
            d->drawContents(&painter, QRectF(0, top, body.width(), height));
            painter.restore();
            if (page > 0) {
                painter.setFont(footerFont);
                painter.setPen(Qt::darkGray);
                painter.drawText(QRectF(0, body.height(), body.width(), FooterHeight),
                                 Qt::AlignHCenter | Qt::AlignBottom,
                                 QStringLiteral("%1 — %2").arg(args[2]).arg(page + 1));
            }
        }
    }
    return painter.end() ? 0 : 1;
}
