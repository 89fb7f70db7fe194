// make-logos: draws the three logo pictures of the main window's logo panel
// and writes them as 94 x 200 pixel, 16-colour (4 bits per pixel) bitmaps:
//   FEMALE.bmp  a pictogram of a woman
//   MALE.bmp    a pictogram of a man
//   STOP.bmp    a crossed-out cigarette over the words STOP SMOKING
//
// Usage: make-logos <output folder>
//
// Each picture is drawn eight times larger with antialiasing, reduced to
// 94 x 200 by averaging, and every pixel is then given the nearest colour of
// a fixed 16-colour palette (limited per picture to the colours it uses, so
// the edges of a black figure stay grey). The background is white.
#include <QColor>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QTransform>

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kalbor {
namespace {

constexpr int kWidth = 94;
constexpr int kHeight = 200;
constexpr int kScale = 8;

// The 16 colours of all three pictures.
enum Pen : int {
  kBlack,
  kWhite,
  kGrey25,
  kGrey50,
  kGrey75,
  kGrey88,
  kRed,
  kRedLight,
  kRedPale,
  kRedDark,
  kTan,
  kTanDark,
  kEmber,
  kEmberLight,
  kSmoke,
  kSmokeLight,
};

constexpr std::array<QRgb, 16> kPalette = {
    0xFF000000,  // black
    0xFFFFFFFF,  // white
    0xFF404040,  // dark grey
    0xFF808080,  // grey
    0xFFC0C0C0,  // light grey
    0xFFE0E0E0,  // very light grey
    0xFFD01010,  // sign red
    0xFFE46A6A,  // red on white, edge
    0xFFF5C4C4,  // red on white, outer edge
    0xFF7A1410,  // red on black, edge
    0xFFD9A05B,  // cigarette filter
    0xFFA86A2C,  // filter shade
    0xFFFF7A00,  // glowing tip
    0xFFFFD040,  // glowing tip, bright
    0xFF9AA6B4,  // smoke
    0xFFCDD5DE,  // smoke, light
};

QColor C(Pen pen) { return QColor::fromRgb(kPalette[pen]); }

// --- drawing helpers (coordinates in final pixels; the painter is scaled) ---

QPainterPath Circle(QPointF centre, double radius) {
  QPainterPath path;
  path.addEllipse(centre, radius, radius);
  return path;
}

// A bar from `a` to `b` of the given width with round ends.
QPainterPath Bar(QPointF a, QPointF b, double width) {
  QPainterPathStroker stroker;
  stroker.setWidth(width);
  stroker.setCapStyle(Qt::RoundCap);
  QPainterPath line(a);
  line.lineTo(b);
  return stroker.createStroke(line).simplified();
}

QPainterPath RoundedRect(QRectF rect, double radius) {
  QPainterPath path;
  path.addRoundedRect(rect, radius, radius);
  return path;
}

QPainterPath Polygon(std::initializer_list<QPointF> points) {
  QPainterPath path;
  bool first = true;
  for (QPointF p : points) {
    if (first)
      path.moveTo(p);
    else
      path.lineTo(p);
    first = false;
  }
  path.closeSubpath();
  return path;
}

// A thin band along the segment a-b, used to cut gaps between limbs.
QPainterPath Gap(QPointF a, QPointF b, double width) {
  QPainterPathStroker stroker;
  stroker.setWidth(width);
  stroker.setCapStyle(Qt::FlatCap);
  QPainterPath line(a);
  line.lineTo(b);
  return stroker.createStroke(line);
}

// Text as a path fitted into `box` (keeping the letters' proportions unless
// the box is narrower, in which case the letters are narrowed).
QPainterPath FittedText(const QString& text, const QFont& font, QRectF box) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  QRectF bounds = path.boundingRect();
  double sy = box.height() / bounds.height();
  double sx = std::min(sy, box.width() / bounds.width());
  QTransform t;
  t.translate(box.center().x(), box.top());
  t.scale(sx, sy);
  t.translate(-bounds.center().x(), -bounds.top());
  return t.map(path);
}

// --- the pictures ----------------------------------------------------------

constexpr double kMid = kWidth / 2.0;

// The head, shared by both figures.
QPainterPath Head() { return Circle({kMid, 25}, 13.5); }

void DrawFemale(QPainter& p) {
  // The dress is an A-line from under the shoulders to the hem; its left
  // edge runs along x = Edge(y) (the right side mirrors it).
  const double dress_top = 50, hem = 134, top_x = 32, hem_x = 15;
  auto edge = [&](double y) { return top_x + (hem_x - top_x) * (y - dress_top) / (hem - dress_top); };
  auto mirror = [](QPointF q) { return QPointF(kWidth - q.x(), q.y()); };
  const double gap = 3.2, arm = 9.5;
  // Horizontal distance from the dress edge to the gap and arm centre lines.
  const double slope = std::hypot(hem - dress_top, top_x - hem_x) / (hem - dress_top);
  const double gap_off = gap / 2 * slope, arm_off = (gap + arm / 2) * slope;

  QPainterPath body = RoundedRect({18, 43, kWidth - 36.0, 18}, 9);  // shoulders
  body = body.united(Polygon({{top_x, dress_top}, {kWidth - top_x, dress_top},
                              {kWidth - hem_x, hem}, {hem_x, hem}}));
  const QPointF arm_top(edge(54) - arm_off, 54), arm_end(edge(108) - arm_off, 108);
  body = body.united(Bar(arm_top, arm_end, arm)).united(Bar(mirror(arm_top), mirror(arm_end), arm));
  // Keep the arms apart from the dress below the armpits.
  const QPointF cut_top(edge(59) - gap_off, 59), cut_end(edge(hem + 4) - gap_off, hem + 4);
  body = body.subtracted(Gap(cut_top, cut_end, gap)).subtracted(Gap(mirror(cut_top), mirror(cut_end), gap));
  // Legs below the hem.
  QPainterPath legs =
      Bar({38.5, 130}, {38.5, 187}, 11).united(Bar({kWidth - 38.5, 130}, {kWidth - 38.5, 187}, 11));
  p.fillPath(Head().united(body).united(legs), C(kBlack));
}

void DrawMale(QPainter& p) {
  // Shoulder yoke with the arms, the torso, and two legs.
  QPainterPath yoke = RoundedRect({15, 43, 64, 20}, 10);
  QPainterPath left_arm = Bar({20.5, 54}, {20.5, 110}, 11);
  QPainterPath right_arm = Bar({kWidth - 20.5, 54}, {kWidth - 20.5, 110}, 11);
  QPainterPath torso = QPainterPath();
  torso.addRect(QRectF(30.5, 50, 33, 66));
  QPainterPath legs = Bar({37.5, 112}, {37.5, 186}, 14).united(Bar({kWidth - 37.5, 112}, {kWidth - 37.5, 186}, 14));
  QPainterPath body = yoke.united(torso).united(legs);
  // Gaps between arms and torso, and between the legs.
  QPainterPath cuts;
  cuts.addRect(QRectF(26.5, 62, 4, 60));
  cuts.addRect(QRectF(kWidth - 30.5, 62, 4, 60));
  cuts.addRect(QRectF(kMid - 1.75, 124, 3.5, 70));
  body = body.subtracted(cuts).united(left_arm.subtracted(cuts)).united(right_arm.subtracted(cuts));
  QPainterPath figure = Head().united(body);
  p.fillPath(figure, C(kBlack));
}

void DrawStop(QPainter& p) {
  const QPointF centre(kMid, 64);
  const double outer = 44.5;
  const double ring = 8;
  const double inner = outer - ring;

  // The cigarette: filter, paper and glowing tip, with a fine outline.
  const double top = centre.y() + 1, height = 11;
  const double left = centre.x() - 31, right = centre.x() + 30;
  const double filter_end = left + 16;
  const double tip_start = right - 6;
  QRectF filter(left, top, filter_end - left, height);
  QRectF paper(filter_end, top, tip_start - filter_end, height);
  QRectF tip(tip_start, top, right - tip_start, height);
  p.fillRect(filter, C(kTan));
  p.fillRect(QRectF(left, top + height - 3, filter_end - left, 3), C(kTanDark));
  for (double x = left + 3; x < filter_end - 1; x += 4.5)  // cork speckles
    p.fillRect(QRectF(x, top + 3, 1.5, 1.5), C(kTanDark));
  p.fillRect(paper, C(kWhite));
  p.fillRect(QRectF(filter_end, top + height - 2.5, paper.width(), 2.5), C(kGrey88));
  p.fillRect(tip, C(kEmber));
  p.fillRect(QRectF(tip_start + 1.5, top + 2, 3, 4), C(kEmberLight));
  p.setPen(QPen(C(kGrey25), 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(left, top, right - left, height));
  p.drawLine(QPointF(filter_end, top), QPointF(filter_end, top + height));

  // Smoke curling up from the tip, inside the ring.
  p.save();
  p.setClipPath(Circle(centre, inner));
  QPainterPath smoke1(QPointF(right - 3, top - 1.5));
  smoke1.cubicTo(QPointF(right + 3, top - 8), QPointF(right - 9, top - 13), QPointF(right - 3, top - 20));
  smoke1.cubicTo(QPointF(right + 2, top - 26), QPointF(right - 7, top - 31), QPointF(right - 3, top - 38));
  QPainterPath smoke2(QPointF(right - 7, top - 2.5));
  smoke2.cubicTo(QPointF(right - 14, top - 9), QPointF(right - 5, top - 16), QPointF(right - 12, top - 24));
  p.setPen(QPen(C(kSmoke), 3.4, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(smoke1);
  p.setPen(QPen(C(kSmoke), 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(smoke2);
  p.restore();

  // The red ring and the bar from upper left to lower right, over everything.
  QPainterPath ring_path = Circle(centre, outer).subtracted(Circle(centre, inner));
  const double d = inner / std::sqrt(2.0) + 2;
  QPainterPathStroker stroker;
  stroker.setWidth(ring);
  stroker.setCapStyle(Qt::FlatCap);
  QPainterPath diagonal(centre + QPointF(-d, -d));
  diagonal.lineTo(centre + QPointF(d, d));
  QPainterPath bar = stroker.createStroke(diagonal).intersected(Circle(centre, inner + 1));
  p.fillPath(ring_path.united(bar), C(kRed));

  // The words.
  QFont bold("DejaVu Sans");
  bold.setBold(true);
  bold.setPixelSize(40);
  QFont condensed("DejaVu Sans Condensed");
  condensed.setBold(true);
  condensed.setStretch(QFont::SemiCondensed);
  condensed.setPixelSize(40);
  p.fillPath(FittedText("STOP", bold, QRectF(6, 121, kWidth - 12, 27)), C(kRed));
  p.fillPath(FittedText("SMOKING", condensed, QRectF(4, 158, kWidth - 8, 16)), C(kBlack));
}

// --- reduction, colour choice and the bitmap file ------------------------

struct Picture {
  const char* file;
  void (*draw)(QPainter&);
  std::vector<int> pens;  // palette entries this picture may use
};

// Brightness and the two colour-difference components (ITU-R BT.601).
struct Ycc {
  double y, cb, cr;
};
Ycc ToYcc(QRgb c) {
  double y = 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c);
  return {y, 0.564 * (qBlue(c) - y), 0.713 * (qRed(c) - y)};
}

// The nearest allowed palette entry. Differences of hue count three times as
// much as differences of brightness, so that an antialiased red edge becomes
// a paler red rather than a brown of similar brightness.
int Nearest(QRgb rgb, const std::vector<int>& pens) {
  const Ycc a = ToYcc(rgb);
  int best = pens.front();
  double best_distance = 1e18;
  for (int pen : pens) {
    const Ycc b = ToYcc(kPalette[pen]);
    double dy = a.y - b.y, dcb = a.cb - b.cb, dcr = a.cr - b.cr;
    double distance = dy * dy + 3 * (dcb * dcb + dcr * dcr);
    if (distance < best_distance) {
      best_distance = distance;
      best = pen;
    }
  }
  return best;
}

std::vector<uint8_t> Render(const Picture& picture) {
  QImage big(kWidth * kScale, kHeight * kScale, QImage::Format_RGB32);
  big.fill(C(kWhite));
  {
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(kScale, kScale);
    picture.draw(p);
  }
  std::vector<uint8_t> pixels(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      long r = 0, g = 0, b = 0;
      for (int sy = 0; sy < kScale; ++sy) {
        const QRgb* line = reinterpret_cast<const QRgb*>(big.constScanLine(y * kScale + sy));
        for (int sx = 0; sx < kScale; ++sx) {
          QRgb c = line[x * kScale + sx];
          r += qRed(c);
          g += qGreen(c);
          b += qBlue(c);
        }
      }
      const long n = kScale * kScale;
      QRgb mean = qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
      pixels[y * kWidth + x] = static_cast<uint8_t>(Nearest(mean, picture.pens));
    }
  }
  return pixels;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A Windows bitmap, 4 bits per pixel, uncompressed, rows bottom-up.
std::vector<uint8_t> Bitmap16(const std::vector<uint8_t>& pixels) {
  const uint32_t row_bytes = ((kWidth * 4 + 31) / 32) * 4;
  const uint32_t image_bytes = row_bytes * kHeight;
  const uint32_t offset = 14 + 40 + 16 * 4;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + image_bytes);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, kWidth);
  Put32(out, kHeight);
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, 0);  // no compression
  Put32(out, image_bytes);
  Put32(out, 3780);  // 96 dots per inch
  Put32(out, 3780);
  Put32(out, 16);
  Put32(out, 16);
  for (QRgb c : kPalette) {
    out.push_back(static_cast<uint8_t>(qBlue(c)));
    out.push_back(static_cast<uint8_t>(qGreen(c)));
    out.push_back(static_cast<uint8_t>(qRed(c)));
    out.push_back(0);
  }
  for (int y = kHeight - 1; y >= 0; --y) {
    std::vector<uint8_t> row(row_bytes, 0);
    for (int x = 0; x < kWidth; ++x) {
      uint8_t v = pixels[y * kWidth + x];
      row[x / 2] |= (x % 2 == 0) ? uint8_t(v << 4) : v;
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace
}  // namespace kalbor

int main(int argc, char** argv) {
  using namespace kalbor;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-logos <output folder>\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  const std::vector<int> greys = {kBlack, kWhite, kGrey25, kGrey50, kGrey75, kGrey88};
  std::vector<int> all;
  for (int i = 0; i < 16; ++i) all.push_back(i);
  const std::vector<Picture> pictures = {
      {"FEMALE.bmp", DrawFemale, greys},
      {"MALE.bmp", DrawMale, greys},
      {"STOP.bmp", DrawStop, all},
  };
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (const Picture& picture : pictures) {
    std::vector<uint8_t> bytes = Bitmap16(Render(picture));
    QFile out(folder + "/" + picture.file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size())) {
      std::fprintf(stderr, "make-logos: cannot write %s\n", qPrintable(out.fileName()));
      return 1;
    }
    std::printf("%s\n", qPrintable(out.fileName()));
  }
  return 0;
}
