// Turns the manuals' Markdown into an A4 PDF (and, to look at, a PNG preview)
// with nothing but Qt, so that the build needs no other toolchain.
//
//   make_manual --base DIR --output FILE.pdf [--preview FILE.png] PART.md...
//
// The parts are joined in order; relative image paths resolve against DIR.

#include <QAbstractTextDocumentLayout>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <cstdio>

namespace {

// Widths in the document's units (1/96 inch): A4 less the 2 cm margins that
// QTextDocument::print puts around the text is about 642.
constexpr qreal kContentWidth = 640;
constexpr qreal kMaxImageWidth = 560;
constexpr int kPreviewMargin = 48;

void fail(const QString& message) { std::fprintf(stderr, "make_manual: %s\n", qPrintable(message)); }

// Markdown has no image sizes; the screenshots are window-sized and would
// run off the page.
bool fitImages(QTextDocument& doc, const QUrl& base)
{
    struct Picture {
        int position;
        int length;
        QTextImageFormat format;
    };
    // Collected first: changing a format while walking the fragments
    // invalidates the walk.
    QList<Picture> pictures;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat())
                pictures.append(
                    {fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
        }
    }
    bool ok = true;
    for (Picture& picture : pictures) {
        const QString file = base.resolved(QUrl(picture.format.name())).toLocalFile();
        const QImage image(file);
        if (image.isNull()) {
            fail("cannot read picture " + file);
            ok = false;
            continue;
        }
        const qreal width = qMin<qreal>(image.width(), kMaxImageWidth);
        picture.format.setWidth(width);
        picture.format.setHeight(width * image.height() / image.width());
        QTextCursor cursor(&doc);
        cursor.setPosition(picture.position);
        cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture.format);
    }
    return ok;
}

// The importer's tables have no rules and hug their text.
void styleTables(QTextFrame* frame)
{
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) {
            QTextTableFormat format = table->format();
            format.setBorder(0.5);
            format.setBorderBrush(QColor(0x9a, 0x9a, 0x9a));
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setBorderCollapse(true);
            format.setCellPadding(4);
            format.setCellSpacing(0);
            format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            table->setFormat(format);
            for (int column = 0; column < table->columns(); ++column) {
                QTextTableCell cell = table->cellAt(0, column);
                QTextCharFormat header = cell.format();
                header.setBackground(QColor(0xec, 0xec, 0xec));
                cell.setFormat(header);
            }
        }
        styleTables(child);
    }
}

bool writePdf(const QTextDocument& doc, const QString& file)
{
    QPdfWriter writer(file);
    writer.setTitle(doc.metaInformation(QTextDocument::DocumentTitle));
    writer.setCreator(QStringLiteral("CV Keys"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    // print() lays out a copy with 2 cm margins and numbers the pages.
    doc.print(&writer);
    QFile written(file);
    if (!written.open(QIODevice::ReadOnly) || written.size() == 0) {
        fail("cannot write " + file);
        return false;
    }
    return true;
}

bool writePreview(QTextDocument& doc, const QString& file)
{
    doc.setTextWidth(kContentWidth);
    const QSizeF size = doc.size();
    QImage image(int(size.width()) + 2 * kPreviewMargin, int(size.height()) + 2 * kPreviewMargin,
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(kPreviewMargin, kPreviewMargin);
        doc.drawContents(&painter);
    }
    if (!image.save(file)) {
        fail("cannot write " + file);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    // Fonts and images need a QGuiApplication; the build has no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.addOption({"base", "Folder that relative image paths start from.", "DIR"});
    parser.addOption({"output", "The PDF to write.", "FILE"});
    parser.addOption({"preview", "Also write the document as one PNG image.", "FILE"});
    parser.addPositionalArgument("parts", "Markdown files, joined in order.", "PART.md...");
    parser.addHelpOption();
    parser.process(app);
    if (!parser.isSet("output") || parser.positionalArguments().isEmpty()) {
        fail("usage: make_manual --base DIR --output FILE.pdf [--preview FILE.png] PART.md...");
        return 2;
    }

    QString markdown;
    for (const QString& part : parser.positionalArguments()) {
        QFile in(part);
        if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
            fail("cannot read " + part);
            return 1;
        }
        markdown += QString::fromUtf8(in.readAll()) + QStringLiteral("\n\n");
    }

    // The trailing slash makes the folder itself the base, not its parent.
    const QUrl base = QUrl::fromLocalFile(QFileInfo(parser.value("base")).absoluteFilePath() + '/');
    QTextDocument doc;
    doc.setMetaInformation(QTextDocument::DocumentUrl, base.toString());
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setMarkdown(markdown);
    const QTextBlock first = doc.begin();
    doc.setMetaInformation(QTextDocument::DocumentTitle, first.text());
    if (!fitImages(doc, base))
        return 1;
    styleTables(doc.rootFrame());

    if (!writePdf(doc, parser.value("output")))
        return 1;
    if (parser.isSet("preview") && !writePreview(doc, parser.value("preview")))
        return 1;
    return 0;
}
