#include "tools/assets/Toolbar.h"

#include <cmath>
#include <functional>
#include <numbers>

namespace {

constexpr int SIDE = TOOLBAR_IMAGE_SIDE;
constexpr double PI = std::numbers::pi;

const TRgb OUTLINE = Rgb255(40, 36, 34);
const TRgb LIGHT_PIECE = Rgb255(246, 238, 220);
const TRgb DARK_PIECE = Rgb255(58, 48, 44);
const TRgb LIGHT_SQUARE = Rgb255(240, 224, 190);
const TRgb DARK_SQUARE = Rgb255(120, 78, 48);

using TInside = std::function<bool(double x, double y)>;
using TColour = std::function<TRgb(double x, double y)>;

TColour Flat(TRgb c) {
  return [c](double, double) { return c; };
}

// Wood grain: wavy stripes over the base colour.
TColour Grain(TRgb base, TRgb line) {
  return [=](double x, double y) {
    const double wave = std::sin(1.9 * x + 0.9 * std::sin(0.45 * y));
    return Mix(base, line, wave > 0.55 ? 0.75 : 0.0);
  };
}

// A pawn standing on (cx, bottom), `scale` 1 for a full-height pawn; `grow`
// widens it for its outline.
TInside Pawn(double cx, double bottom, double scale, double grow) {
  return [=](double x, double y) {
    const double dx = std::fabs(x - cx), top = bottom - 19 * scale;
    const double hy = top + 3.3 * scale, collar = hy + 3.4 * scale, foot = bottom - 3.2 * scale;
    if (dx * dx + (y - hy) * (y - hy) <= std::pow(3.1 * scale + grow, 2)) return true;  // ball
    if (y >= collar - 0.6 * scale - grow && y <= collar + 0.6 * scale + grow && dx <= 3.0 * scale + grow)
      return true;  // collar
    if (y >= hy && y <= foot) {  // body, narrow under the collar, flaring down
      const double t = std::max(0.0, (y - collar) / (foot - collar));
      if (dx <= (1.4 + 3.0 * t * t) * scale + grow) return true;
    }
    return y >= foot - grow && y <= bottom + grow && dx <= 5.6 * scale + grow;  // foot
  };
}

void DrawPawn(TPainter& p, double cx, double bottom, double scale, const TColour& fill) {
  p.Fill(Pawn(cx, bottom, scale, 1.0), Flat(OUTLINE));
  p.Fill(Pawn(cx, bottom, scale, 0), fill);
}

// A round badge of six hues at (cx, cy): the "colour" buttons.
void DrawColourWheel(TPainter& p, double cx, double cy, double r) {
  p.Circle(cx, cy, r + 1, OUTLINE);
  p.Fill([=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; },
         [=](double x, double y) {
           const double a = std::atan2(y - cy, x - cx) / (2 * PI) + 0.5;
           static const TRgb hues[6] = {Rgb255(230, 40, 40),  Rgb255(240, 200, 30), Rgb255(60, 190, 60),
                                        Rgb255(40, 190, 220), Rgb255(50, 80, 220),  Rgb255(200, 60, 200)};
           return hues[static_cast<int>(a * 6) % 6];
         });
}

// A 2 x 2 board in the square (x0, y0) of side `size`; the half that the button
// changes is drawn solid with `changed`, the other faint.
void DrawBoard(TPainter& p, double x0, double y0, double size, bool lightChanges, const TColour& changed) {
  p.Rectangle(x0 - 1, y0 - 1, x0 + size + 1, y0 + size + 1, OUTLINE);
  const double h = size / 2;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      const bool light = (i + j) % 2 == 0;
      const double x = x0 + i * h, y = y0 + j * h;
      if (light == lightChanges)
        p.Fill([=](double px, double py) { return px >= x && px <= x + h && py >= y && py <= y + h; }, changed);
      else
        p.Rectangle(x, y, x + h, y + h, light ? LIGHT_SQUARE : DARK_SQUARE, 0.45);
    }
}

void DrawFolder(TPainter& p) {
  const TRgb back = Rgb255(214, 160, 44), front = Rgb255(250, 204, 84);
  p.Polygon({{1, 5}, {9, 5}, {11, 7}, {21, 7}, {21, 20}, {1, 20}}, OUTLINE);
  p.Polygon({{2, 6}, {8.5, 6}, {10.5, 8}, {20, 8}, {20, 19}, {2, 19}}, back);
  p.Polygon({{4, 11}, {23.5, 11}, {20.5, 20}, {1, 20}}, OUTLINE);
  p.Polygon({{4.8, 12}, {22.2, 12}, {19.8, 19}, {2.3, 19}}, front);
}

void DrawDisk(TPainter& p) {
  const TRgb body = Rgb255(52, 96, 168), label = Rgb255(244, 244, 240), shutter = Rgb255(190, 196, 204);
  p.Polygon({{2, 2}, {19, 2}, {22, 5}, {22, 22}, {2, 22}}, OUTLINE);
  p.Polygon({{3, 3}, {18.5, 3}, {21, 5.5}, {21, 21}, {3, 21}}, body);
  p.Rectangle(6, 3, 17, 9, shutter);
  p.Rectangle(13, 4, 15.5, 8, body);
  p.Rectangle(5, 12, 19, 21, label);
}

// A small board on a label or in a folder: a chess position.
void DrawPositionMark(TPainter& p, double x0, double y0, double size) {
  const double h = size / 4;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      p.Rectangle(x0 + i * h, y0 + j * h, x0 + (i + 1) * h, y0 + (j + 1) * h,
                  (i + j) % 2 ? DARK_SQUARE : LIGHT_SQUARE);
}

TImage Draw(const std::function<void(TPainter&)>& draw) {
  TImage image(SIDE, SIDE);
  TPainter painter(image);
  draw(painter);
  return image;
}

}  // namespace

std::vector<TToolbarImage> ToolbarImages() {
  const TColour lightWood = Grain(Rgb255(238, 210, 160), Rgb255(190, 140, 80));
  const TColour darkWood = Grain(Rgb255(92, 58, 36), Rgb255(48, 28, 18));
  std::vector<TToolbarImage> images;
  auto add = [&](const char* name, const char* hint, const std::function<void(TPainter&)>& draw) {
    images.push_back({std::string("res/toolbar/") + name + ".png", hint, Draw(draw)});
  };
  add("open-look", "Open look", [](TPainter& p) {
    DrawFolder(p);
    DrawColourWheel(p, 12.5, 15.5, 3.2);
  });
  add("save-look", "Save look", [](TPainter& p) {
    DrawDisk(p);
    DrawColourWheel(p, 12, 16.5, 3.3);
  });
  add("light-color", "Light color", [](TPainter& p) {
    DrawPawn(p, 9.5, 21.5, 1.0, Flat(LIGHT_PIECE));
    DrawColourWheel(p, 18, 17, 4.5);
  });
  add("dark-color", "Dark color", [](TPainter& p) {
    DrawPawn(p, 9.5, 21.5, 1.0, Flat(DARK_PIECE));
    DrawColourWheel(p, 18, 17, 4.5);
  });
  add("light-texture", "Light texture", [&](TPainter& p) { DrawPawn(p, 12, 22, 1.05, lightWood); });
  add("dark-texture", "Dark texture", [&](TPainter& p) { DrawPawn(p, 12, 22, 1.05, darkWood); });
  add("background-color", "Background color", [](TPainter& p) {
    p.Rectangle(1, 3, 23, 21, OUTLINE);
    p.Fill([](double x, double y) { return x >= 2 && x <= 22 && y >= 4 && y <= 20; },
           [](double, double y) { return Mix(Rgb255(70, 120, 200), Rgb255(150, 70, 170), (y - 4) / 16); });
    DrawPawn(p, 8, 19, 0.6, Flat(LIGHT_PIECE));
    DrawColourWheel(p, 17, 15, 4);
  });
  add("light-board-texture", "Light board texture",
      [&](TPainter& p) { DrawBoard(p, 3, 3, 18, true, Grain(Rgb255(240, 214, 168), Rgb255(196, 150, 90))); });
  add("dark-board-texture", "Dark board texture",
      [&](TPainter& p) { DrawBoard(p, 3, 3, 18, false, darkWood); });
  add("dark-board-color", "Dark board color", [](TPainter& p) {
    DrawBoard(p, 2, 2, 16, false, Flat(DARK_SQUARE));
    DrawColourWheel(p, 18, 18, 4.5);
  });
  add("light-board-color", "Light board color", [](TPainter& p) {
    DrawBoard(p, 2, 2, 16, true, Flat(LIGHT_SQUARE));
    DrawColourWheel(p, 18, 18, 4.5);
  });
  add("load-position", "Load Position", [](TPainter& p) {
    DrawFolder(p);
    DrawPositionMark(p, 8, 12.5, 8);
  });
  add("save-position", "Save Position", [](TPainter& p) {
    DrawDisk(p);
    DrawPositionMark(p, 8, 12.5, 8);
  });
  add("new-match", "New Match", [](TPainter& p) {
    DrawPawn(p, 6.5, 22, 0.8, Flat(LIGHT_PIECE));
    DrawPawn(p, 17.5, 22, 0.8, Flat(DARK_PIECE));
    const TRgb green = Rgb255(40, 160, 60);
    p.Circle(12, 5, 4.6, OUTLINE);
    p.Circle(12, 5, 3.7, green);
    p.Rectangle(9.6, 4.3, 14.4, 5.7, Rgb255(255, 255, 255));
    p.Rectangle(11.3, 2.6, 12.7, 7.4, Rgb255(255, 255, 255));
  });
  return images;
}
