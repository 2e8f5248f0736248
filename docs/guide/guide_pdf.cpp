// vendrik-guide-pdf: turns the guide's HTML text into the PDF document.
//   vendrik-guide-pdf SOURCE.html IMAGE_DIR OUTPUT.pdf
// The text is laid out by QTextDocument on A4 pages with page numbers and
// written by QPdfWriter, with the fonts embedded. Every picture the text names
// (<img src="NAME.png">) is taken from IMAGE_DIR and, unless the text gives
// its size, printed at the size its recorded resolution gives (a picture of
// 192 dots per inch at half its pixel size, a screen's 96 dots per inch being
// the unit of the layout); a picture that is missing
// or unreadable fails the run instead of leaving a hole in the guide. The PDF
// is written under a temporary name and renamed at the end, so a failed run
// leaves no half-written document behind.
#include <cstdio>
#include <vector>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>

namespace {

const QString kTitle = QStringLiteral("Vendrik '03 – Leírás");
const QString kBodyFont = QStringLiteral("Liberation Sans");
constexpr int kBodyPointSize = 10;
constexpr double kMarginMm = 20;
constexpr int kResolution = 300;
constexpr double kScreenDotsPerInch = 96;
constexpr double kMetresPerInch = 0.0254;

int Fail(const QString& message) {
  std::fprintf(stderr, "vendrik-guide-pdf: %s\n", message.toUtf8().constData());
  return 1;
}

// The pictures the document shows: each one's place (position, length) in
// the text and its format.
struct TPicturePlace {
  int FPosition;
  int FLength;
  QTextImageFormat FFormat;
};

std::vector<TPicturePlace> PicturePlaces(const QTextDocument& document) {
  std::vector<TPicturePlace> places;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
      const QTextFragment piece = fragment.fragment();
      if (piece.charFormat().isImageFormat())
        places.push_back({piece.position(), piece.length(), piece.charFormat().toImageFormat()});
    }
  return places;
}

// Loads the picture `name` from `images` into the document's resources and
// returns its size at the layout's 96 dots per inch, or an empty size when it
// cannot be read.
QSizeF LoadPicture(QTextDocument& document, const QDir& images, const QString& name) {
  const QImage image(images.filePath(name));
  if (image.isNull()) return QSizeF();
  document.addResource(QTextDocument::ImageResource, QUrl(name), image);
  const double dotsPerInch = image.dotsPerMeterX() * kMetresPerInch;
  const double scale = dotsPerInch > kScreenDotsPerInch ? dotsPerInch / kScreenDotsPerInch : 1;
  return QSizeF(image.size()) / scale;
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication application(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: vendrik-guide-pdf SOURCE.html IMAGE_DIR OUTPUT.pdf\n");
    return 2;
  }
  const QString sourcePath = QString::fromLocal8Bit(argv[1]);
  const QDir images(QString::fromLocal8Bit(argv[2]));
  const QString outputPath = QString::fromLocal8Bit(argv[3]);

  QFile source(sourcePath);
  if (!source.open(QIODevice::ReadOnly)) return Fail(sourcePath + QStringLiteral(": ") + source.errorString());
  QTextDocument document;
  QFont body(kBodyFont);
  body.setPointSize(kBodyPointSize);
  document.setDefaultFont(body);
  document.setHtml(QString::fromUtf8(source.readAll()));

  // A picture whose size the text does not give is printed at its recorded
  // size; one whose width alone is given keeps its proportions.
  for (const TPicturePlace& place : PicturePlaces(document)) {
    const QString name = place.FFormat.name();
    const QSizeF size = LoadPicture(document, images, name);
    if (size.isEmpty()) return Fail(QStringLiteral("the picture %1 is missing from %2").arg(name, images.path()));
    QTextImageFormat format = place.FFormat;
    if (!format.hasProperty(QTextFormat::ImageWidth)) format.setWidth(size.width());
    if (!format.hasProperty(QTextFormat::ImageHeight)) format.setHeight(size.height() * format.width() / size.width());
    QTextCursor cursor(&document);
    cursor.setPosition(place.FPosition);
    cursor.setPosition(place.FPosition + place.FLength, QTextCursor::KeepAnchor);
    cursor.setCharFormat(format);
  }

  QSaveFile output(outputPath);
  if (!output.open(QIODevice::WriteOnly)) return Fail(outputPath + QStringLiteral(": ") + output.errorString());
  {
    QPdfWriter writer(&output);
    writer.setTitle(kTitle);
    writer.setCreator(QStringLiteral("Vendrik"));
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    document.print(&writer);
  }
  if (!output.commit()) return Fail(outputPath + QStringLiteral(": ") + output.errorString());
  return 0;
}
