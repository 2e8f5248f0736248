// Paints the program's picture assets: the main window's title picture
// (title.png, 537 x 313), the program icon (icon.png, 32 x 32, and
// icon-128.png) and the about window's picture (picture.png, 128 x 164), and
// the icon in the sizes desktops ask for (icon-SIZE.png, one for each SIZE
// given). Run at build time on Qt's offscreen platform:
//   vendrik-assetgen OUTPUT_DIR [ICON_SIZE...]
// The pictures depend only on this code and the installed Liberation fonts:
// the paper texture comes from a fixed-seed noise function, so every build
// paints the same pixels.
//
// Title picture: a white, crinkled paper; the product title "Vendrik '03" in
// large rainbow-coloured italic letters across the middle; the abbreviation
// "Vnd'03" in large blue letters in the four corners and in smaller grey
// letters at the top centre and bottom centre. The middle band is kept clear
// of the rows of binary digits the main window lays over the picture (at
// y 88 to 117 and 192 to 221).
//
// About picture: a simply drawn figure (no real person) in a purple
// jumper with the program's "V" on it, before a pale sky; the picture window
// shows only its top 137 rows, so the head and shoulders sit in that part.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kTitleWidth = 537;
constexpr int kTitleHeight = 313;
constexpr std::uint32_t kPaperSeed = 0x5EED2003u;
const QString kProductTitle = QStringLiteral("Vendrik '03");
const QString kAbbreviation = QStringLiteral("Vnd'03");

// A hash of a lattice point to [0, 1).
double LatticeValue(int x, int y, std::uint32_t seed) {
  std::uint32_t h = seed ^ (static_cast<std::uint32_t>(x) * 0x9E3779B1u) ^
                    (static_cast<std::uint32_t>(y) * 0x85EBCA77u);
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return (h & 0xFFFFFF) / double(0x1000000);
}

// Smoothly interpolated value noise.
double Noise(double x, double y, std::uint32_t seed) {
  const int x0 = static_cast<int>(std::floor(x));
  const int y0 = static_cast<int>(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const double top = LatticeValue(x0, y0, seed) * (1 - sx) + LatticeValue(x0 + 1, y0, seed) * sx;
  const double bottom = LatticeValue(x0, y0 + 1, seed) * (1 - sx) + LatticeValue(x0 + 1, y0 + 1, seed) * sx;
  return top * (1 - sy) + bottom * sy;
}

// Crinkles: ridged noise of several octaves, so that the height field has
// sharp folds like crumpled paper.
double PaperHeight(double x, double y) {
  double height = 0, amplitude = 1, frequency = 1.0 / 48;
  for (int octave = 0; octave < 5; ++octave) {
    const double n = Noise(x * frequency, y * frequency, kPaperSeed + octave);
    height += amplitude * (1 - std::fabs(2 * n - 1));
    amplitude *= 0.5;
    frequency *= 2.1;
  }
  return height;
}

// White paper lit from the top left: the slope of the height field darkens
// the folds facing away from the light a little.
void PaintPaper(QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const double dx = PaperHeight(x + 1, y) - PaperHeight(x - 1, y);
      const double dy = PaperHeight(x, y + 1) - PaperHeight(x, y - 1);
      const double light = std::clamp(0.5 - 2.2 * (dx + dy), 0.0, 1.0);
      const int grey = 226 + static_cast<int>(29 * light);
      line[x] = qRgb(grey, grey, std::min(255, grey + 2));
    }
  }
}

// Draws `text` on the baseline through `anchor`, aligned to it left, centred or
// right, filled with `fill` and edged with `outline`.
void DrawText(QPainter& painter, const QFont& font, const QString& text, QPointF anchor,
              Qt::Alignment alignment, const QBrush& fill, const QPen& outline) {
  const QFontMetricsF metrics(font);
  const double width = metrics.horizontalAdvance(text);
  double x = anchor.x();
  if (alignment & Qt::AlignHCenter) x -= width / 2;
  if (alignment & Qt::AlignRight) x -= width;
  QPainterPath path;
  path.addText(QPointF(x, anchor.y()), font, text);
  painter.setPen(outline);
  painter.setBrush(fill);
  painter.drawPath(path);
}

QImage PaintTitle() {
  QImage image(kTitleWidth, kTitleHeight, QImage::Format_RGB32);
  PaintPaper(image);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);

  // The abbreviation in the four corners, large and blue.
  QFont corner(QStringLiteral("Liberation Sans"));
  corner.setPixelSize(40);
  corner.setBold(true);
  const QBrush blue(QColor(0x10, 0x30, 0xC0));
  const QPen blueEdge(QColor(0x00, 0x10, 0x60), 1);
  DrawText(painter, corner, kAbbreviation, QPointF(10, 50), Qt::AlignLeft, blue, blueEdge);
  DrawText(painter, corner, kAbbreviation, QPointF(kTitleWidth - 10, 50), Qt::AlignRight, blue, blueEdge);
  DrawText(painter, corner, kAbbreviation, QPointF(10, kTitleHeight - 18), Qt::AlignLeft, blue, blueEdge);
  DrawText(painter, corner, kAbbreviation, QPointF(kTitleWidth - 10, kTitleHeight - 18), Qt::AlignRight,
           blue, blueEdge);

  // Smaller and grey at the top centre and bottom centre.
  QFont small(QStringLiteral("Liberation Sans"));
  small.setPixelSize(22);
  small.setBold(true);
  const QBrush grey(QColor(0x90, 0x90, 0x90));
  DrawText(painter, small, kAbbreviation, QPointF(kTitleWidth / 2.0, 44), Qt::AlignHCenter, grey, Qt::NoPen);
  DrawText(painter, small, kAbbreviation, QPointF(kTitleWidth / 2.0, kTitleHeight - 24), Qt::AlignHCenter,
           grey, Qt::NoPen);

  // The product title across the middle, in rainbow colours, with a soft
  // shadow.
  QFont title(QStringLiteral("Liberation Serif"));
  title.setPixelSize(64);
  title.setBold(true);
  title.setItalic(true);
  const QFontMetricsF metrics(title);
  const double width = metrics.horizontalAdvance(kProductTitle);
  const double left = (kTitleWidth - width) / 2;
  const QPointF baseline(kTitleWidth / 2.0, 176);
  DrawText(painter, title, kProductTitle, baseline + QPointF(3, 3), Qt::AlignHCenter,
           QColor(0, 0, 0, 70), Qt::NoPen);
  QLinearGradient rainbow(left, 0, left + width, 0);
  const QColor colours[] = {QColor(0xE0, 0x10, 0x10), QColor(0xF0, 0x80, 0x00), QColor(0xE8, 0xD0, 0x00),
                            QColor(0x10, 0xA0, 0x20), QColor(0x00, 0x90, 0xD0), QColor(0x20, 0x30, 0xD0),
                            QColor(0x80, 0x20, 0xB0)};
  const int stops = static_cast<int>(std::size(colours));
  for (int i = 0; i < stops; ++i) rainbow.setColorAt(double(i) / (stops - 1), colours[i]);
  DrawText(painter, title, kProductTitle, baseline, Qt::AlignHCenter, rainbow, QPen(QColor(40, 40, 40), 1));
  return image;
}

// The icon: a blue rounded square with an italic white "V" and a small
// rainbow bar beneath it.
QImage PaintIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);
  QLinearGradient face(0, 0, 0, 32);
  face.setColorAt(0, QColor(0x50, 0x80, 0xF0));
  face.setColorAt(1, QColor(0x10, 0x30, 0xA0));
  painter.setPen(QPen(QColor(0x08, 0x18, 0x60), 1));
  painter.setBrush(face);
  painter.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);
  QFont letter(QStringLiteral("Liberation Serif"));
  letter.setPixelSize(26);
  letter.setBold(true);
  letter.setItalic(true);
  DrawText(painter, letter, QStringLiteral("V"), QPointF(16, 23), Qt::AlignHCenter, Qt::white, Qt::NoPen);
  QLinearGradient rainbow(6, 0, 26, 0);
  rainbow.setColorAt(0, Qt::red);
  rainbow.setColorAt(0.5, Qt::yellow);
  rainbow.setColorAt(1, Qt::green);
  painter.setPen(Qt::NoPen);
  painter.setBrush(rainbow);
  painter.drawRect(QRectF(6, 25, 20, 3));
  return image;
}

QImage PaintPicture() {
  constexpr int kWidth = 128;
  constexpr int kHeight = 164;
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, QColor(0x9C, 0xC8, 0xF0));
  sky.setColorAt(1, QColor(0xF4, 0xF8, 0xFC));
  painter.fillRect(image.rect(), sky);

  // Shoulders and jumper, with a collar and the "V".
  QPainterPath body;
  body.moveTo(14, kHeight);
  body.cubicTo(14, 104, 34, 92, 64, 92);
  body.cubicTo(94, 92, 114, 104, 114, kHeight);
  body.closeSubpath();
  painter.setPen(QPen(QColor(0x40, 0x10, 0x48), 1.5));
  painter.setBrush(QColor(0x80, 0x20, 0x88));
  painter.drawPath(body);
  painter.setBrush(QColor(0xF0, 0xF0, 0xF0));
  QPainterPath collar;
  collar.moveTo(50, 93);
  collar.lineTo(64, 110);
  collar.lineTo(78, 93);
  collar.closeSubpath();
  painter.drawPath(collar);
  QFont letter(QStringLiteral("Liberation Serif"));
  letter.setPixelSize(20);
  letter.setBold(true);
  letter.setItalic(true);
  DrawText(painter, letter, QStringLiteral("V"), QPointF(88, 130), Qt::AlignHCenter, QColor(0xF0, 0xD0, 0x20),
           Qt::NoPen);

  // Neck and head.
  const QColor skin(0xF1, 0xC8, 0x98);
  const QPen skinEdge(QColor(0x90, 0x60, 0x40), 1.2);
  painter.setPen(skinEdge);
  painter.setBrush(skin);
  painter.drawRect(QRectF(56, 72, 16, 22));
  painter.drawEllipse(QPointF(64, 52), 22, 26);
  // Hair.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x50, 0x34, 0x20));
  painter.drawChord(QRectF(41, 25, 46, 36), 0, 180 * 16);
  // Glasses, eyes and a smile.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.4));
  painter.drawEllipse(QPointF(55, 54), 7, 6);
  painter.drawEllipse(QPointF(73, 54), 7, 6);
  painter.drawLine(QPointF(62, 54), QPointF(66, 54));
  painter.setBrush(QColor(0x20, 0x20, 0x20));
  painter.drawEllipse(QPointF(55, 54), 1.6, 1.6);
  painter.drawEllipse(QPointF(73, 54), 1.6, 1.6);
  painter.setBrush(Qt::NoBrush);
  painter.drawArc(QRectF(54, 58, 20, 12), -20 * 16, -140 * 16);
  return image;
}

bool Save(const QImage& image, const QDir& directory, const QString& name) {
  const QString path = directory.filePath(name);
  if (image.save(path, "PNG")) return true;
  std::fprintf(stderr, "vendrik-assetgen: cannot write %s\n", qPrintable(path));
  return false;
}

// The icon sizes named on the command line after the output directory, or an
// empty list when one of them is not a whole number from 1 to kMaxIconSize.
constexpr int kMaxIconSize = 1024;
std::vector<int> IconSizes(int argc, char* argv[]) {
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) {
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
    if (!ok || size < 1 || size > kMaxIconSize) {
      std::fprintf(stderr, "vendrik-assetgen: not an icon size: %s\n", argv[i]);
      return {};
    }
    sizes.push_back(size);
  }
  return sizes;
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: vendrik-assetgen OUTPUT_DIR [ICON_SIZE...]\n");
    return 2;
  }
  const std::vector<int> iconSizes = IconSizes(argc, argv);
  if (iconSizes.size() != static_cast<std::size_t>(argc - 2)) return 2;
  const QDir directory(QString::fromLocal8Bit(argv[1]));
  if (!directory.exists() && !QDir().mkpath(directory.path())) {
    std::fprintf(stderr, "vendrik-assetgen: cannot create %s\n", argv[1]);
    return 1;
  }
  const bool saved = Save(PaintTitle(), directory, QStringLiteral("title.png")) &&
                     Save(PaintIcon(32), directory, QStringLiteral("icon.png")) &&
                     Save(PaintIcon(128), directory, QStringLiteral("icon-128.png")) &&
                     Save(PaintPicture(), directory, QStringLiteral("picture.png"));
  if (!saved) return 1;
  for (const int size : iconSizes)
    if (!Save(PaintIcon(size), directory, QStringLiteral("icon-%1.png").arg(size))) return 1;
  return 0;
}
