// vendrik-guide-pdf: turns the guide's HTML text into the PDF document.
//   vendrik-guide-pdf SOURCE.html IMAGE_DIR OUTPUT.pdf
// The text is laid out by QTextDocument on A4 pages with page numbers and
// written by QPdfWriter, with the fonts embedded. Every picture the text names
// (<img src="NAME.png">) is taken from IMAGE_DIR; a picture that is missing
// or unreadable fails the run instead of leaving a hole in the guide. The PDF
// is written under a temporary name and renamed at the end, so a failed run
// leaves no half-written document behind.
#include <cstdio>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>

namespace {

const QString kTitle = QStringLiteral("Vendrik '03 – Leírás");
const QString kBodyFont = QStringLiteral("Liberation Sans");
constexpr int kBodyPointSize = 10;
constexpr double kMarginMm = 20;
constexpr int kResolution = 300;

int Fail(const QString& message) {
  std::fprintf(stderr, "vendrik-guide-pdf: %s\n", message.toUtf8().constData());
  return 1;
}

// The names of the pictures the document shows, in order of appearance.
QStringList ImageNames(const QTextDocument& document) {
  QStringList names;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
      const QTextCharFormat format = fragment.fragment().charFormat();
      if (format.isImageFormat() && !names.contains(format.toImageFormat().name()))
        names << format.toImageFormat().name();
    }
  return names;
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

  for (const QString& name : ImageNames(document)) {
    const QImage image(images.filePath(name));
    if (image.isNull()) return Fail(QStringLiteral("the picture %1 is missing from %2").arg(name, images.path()));
    document.addResource(QTextDocument::ImageResource, QUrl(name), image);
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
