// Turns the manual's Markdown chapters into one PDF: a title page, a table of
// contents with page numbers, the chapters (each on a new page) with their
// pictures scaled to the page width, and a page number at the foot of every
// page but the first. Qt Gui only, so the build needs no other tool.
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

// Tables get thin grey rules; Markdown gives them none.
void styleTables(QTextDocument& doc)
{
    QSet<QTextTable*> done;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextCursor c(b);
        if (QTextTable* table = c.currentTable()) {
            if (done.contains(table))
                continue;
            done.insert(table);
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
    }
}

// Pictures wider than the text are scaled down to it, keeping their aspect.
void fitImages(QTextDocument& doc, const QString& baseDir, qreal width)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.charFormat().isImageFormat())
                continue;
            QTextImageFormat img = frag.charFormat().toImageFormat();
            const QString path = QUrl(img.name()).isRelative() ? baseDir + QLatin1Char('/') + img.name() : img.name();
            const QImage image(path);
            if (image.isNull()) {
                std::fprintf(stderr, "mkmanual: picture %s not found\n", qPrintable(path));
                continue;
            }
            // Handed to the document itself: it would not find a relative name.
            doc.addResource(QTextDocument::ImageResource, QUrl(img.name()), image);
            const qreal w = qMin<qreal>(image.width(), width);
            img.setWidth(w);
            img.setHeight(image.height() * w / image.width());
            QTextCursor c(&doc);
            c.setPosition(frag.position());
            c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(img);
        }
    }
}

// Code, inline or in blocks, in a monospaced face; blocks on a grey ground.
void styleCode(QTextDocument& doc)
{
    QTextCharFormat mono;
    mono.setFontFamily(QStringLiteral("DejaVu Sans Mono"));
    mono.setFontFamilies({QStringLiteral("DejaVu Sans Mono")});
    mono.setFontPointSize(9);
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().hasProperty(QTextFormat::BlockCodeFence)) {
            QTextCursor c(b);
            QTextBlockFormat f = b.blockFormat();
            f.setBackground(QColor(238, 241, 245));
            f.setLeftMargin(8);
            c.setBlockFormat(f);
            c.select(QTextCursor::BlockUnderCursor);
            c.mergeCharFormat(mono);
            continue;
        }
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            // The importer marks code spans only by giving them the system's
            // fixed font, which need not be monospaced (offscreen: it is not).
            const QTextCharFormat f = frag.charFormat();
            if (!f.fontFixedPitch() && !f.hasProperty(QTextFormat::FontFamily))
                continue;
            QTextCursor c(&doc);
            c.setPosition(frag.position());
            c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            c.mergeCharFormat(mono);
        }
    }
}

// Each first-level heading starts a page; headings get some air above them.
void styleHeadings(QTextDocument& doc)
{
    bool first = true;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level == 0)
            continue;
        QTextBlockFormat f = b.blockFormat();
        f.setTopMargin(level == 1 ? 0 : 14);
        f.setBottomMargin(6);
        if (level == 1 && !first)
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        first = false;
        QTextCursor c(b);
        c.setBlockFormat(f);
        QTextCharFormat cf;
        cf.setForeground(HeadingColour);
        c.select(QTextCursor::BlockUnderCursor);
        c.mergeCharFormat(cf);
    }
}

QVector<Heading> headings(QTextDocument& doc, qreal pageHeight)
{
    QVector<Heading> list;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level < 1 || level > 2)
            continue;
        const QRectF r = doc.documentLayout()->blockBoundingRect(b);
        list.push_back({level, b.text(), int(r.top() / pageHeight)});
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
    doc.setMarkdown(markdown);
    styleHeadings(doc);
    styleTables(doc);
    styleCode(doc);
    fitImages(doc, baseDir, body.width());
    const QVector<Heading> list = headings(doc, body.height());

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
        for (int i = 0; i < d->pageCount(); ++i, ++page) {
            if (page > 0)
                writer.newPage();
            painter.save();
            painter.translate(0, -i * body.height());
            d->drawContents(&painter, QRectF(QPointF(0, i * body.height()), body));
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
