#pragma once
// The main plot view as a toolkit-free model. The frame (CEprWindow) writes
// the data fields below whenever it shows a trace or rebuilds the grid; the
// view owns the presentation state: the layout computed from the client size,
// fonts, pens, per-trace scale factors and offsets, the index range shown,
// the cursor positions and read-out texts. It draws through a Canvas, so the
// same code paints the window, printed pages and exported image files.
//
// Pixel rules: every real-to-integer conversion truncates toward zero and
// every halving of an integer is integer division.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "plot/canvas.h"
#include "plot/road_map.h"
#include "plot/trace_binding.h"

namespace quorra {

class CChildView {
 public:
  CChildView() = default;
  virtual ~CChildView() = default;
  CChildView(const CChildView&) = delete;
  CChildView& operator=(const CChildView&) = delete;

  static constexpr int kBlue = 1;
  static constexpr int kRed = 0;

  // --- Drawing ------------------------------------------------------------
  // Draws the attached traces, red first and blue over it; returns how many.
  // The residual, when shown, goes under both and is not counted.
  virtual int DrawTraces(Canvas& dc);
  // The residual blue − red in the residual pen, on the blue trace's scale,
  // its zero on the row seven eighths down the plot (below the middle, where
  // the spectra have their baseline). Drawn only while both traces are.
  void DrawResidual(Canvas& dc);
  // Paints the client area: erases it, shows the title block once, or draws
  // the traces and the field axis. Cursor lines are never painted; after a
  // paint the cursors count as standing at the plot's edges.
  virtual void OnPaint(Canvas& dc);
  // Lays the view out for a client area of cx × cy pixels: plot edges, label
  // line, fonts and read-out boxes (measured on dc), cursors to the edges.
  virtual void OnSize(Canvas& dc, int cx, int cy);

  // One trace, one line vertex per pixel column: point-sampled below two
  // grid points per column, box-averaged from two upward.
  void DrawTrace(Canvas& dc, const double* values, double scale, double offset, double max, double min);
  // The horizontal axis line, tick marks and labels for the index range
  // first…last; false (nothing drawn) when it spans fewer than 10 points.
  bool DrawFieldAxis(Canvas& dc, int first, int last);
  // The vertical axis at plotLeft with ticks and labels for bottom…top.
  void DrawValueAxis(double bottom, double top, Canvas& dc);
  // The title block of the first paint; leaves showTitleScreen set when the
  // client area is smaller than 100 × 100.
  void DrawTitleScreen(Canvas& dc);
  // Sets the colours and makes the pens and the brush as dc shows them.
  void CreateDrawingObjects(Canvas& dc);

  // --- Interaction ------------------------------------------------------------
  // Mouse flags of the handlers, and the key codes the view answers.
  static constexpr unsigned kLeftButton = 1, kRightButton = 2, kControl = 8;
  static constexpr int kSpaceKey = 32, kLeftKey = 37, kUpKey = 38, kRightKey = 39, kDownKey = 40;
  static constexpr int kF1Key = 112, kF2Key = 113, kF3Key = 114, kF4Key = 115;

  // Each handler draws on dc, a context on the client area of the view as
  // the last paint left it, valid for the one event. Cursor and zoom-box
  // lines are XOR-ed, so drawing one twice removes it. A press opens the
  // drag (when the cursors respond) and the release of either button ends
  // it; while it is open every move draws with the cursor pen in XOR mode.
  void OnLButtonDown(Canvas& dc, unsigned flags, Point point);
  void OnRButtonDown(Canvas& dc, unsigned flags, Point point);
  virtual void OnMouseMove(Canvas& dc, unsigned flags, Point point);
  virtual void OnLButtonUp(Canvas& dc, unsigned flags, Point point);
  virtual void OnRButtonUp(Canvas& dc, unsigned flags, Point point);
  // Space, the arrow keys and F1–F4; other keys are ignored.
  void OnKeyDown(Canvas& dc, int key);
  // Moves cursor 1 (2) from where it stands to cursor1NewX (cursor2NewX)
  // and rewrites the read-outs; a cursor pushes the other along rather than
  // cross it.
  void UpdateCursor1(Canvas& dc);
  void UpdateCursor2(Canvas& dc);

  // The view commands. Expand shows the grid points between the cursors,
  // snapped to the grid, and does nothing when they span 10 intervals or
  // fewer; returns whether the view changed. Reset shows all points grid
  // points again at unit scale and zero offset. points is the grid size.
  bool Expand(int points);
  void Reset(int points);

  // Asks whoever shows the view to repaint it (the hook, when set).
  void Invalidate() {
    if (invalidateHook) invalidateHook();
  }
  std::function<void()> invalidateHook;

  // Grid points per pixel column of the shown index range, and the scale of a
  // trace in value units per pixel row; 0 for a degenerate layout or range.
  double columnStep() const;
  double unitsPerPixel(double max, double min, double scale) const;
  // Pixel row of a value of a trace scaled by unitsPerPixel around mid.
  int traceRow(double v, double mid, double unitsPerPixel, double offset) const;
  // The value a column starting at grid index k shows: the point itself, or
  // the mean of the step points from k on (stopping at the last grid point).
  double columnSample(const double* values, int k, double step) const;
  // fieldPerPixel and valuePerPixel from the current layout and ranges.
  void UpdatePixelScales();

  // --- Interaction state ----------------------------------------------------
  bool buttonDown = false;    // a mouse button went down and was not released
  bool briefReadout = false;  // cursor 1 shows only its field and the difference

  // --- Fields written by the frame ----------------------------------------
  bool cursorsEnabled = false;  // cursors, read-outs and zoom respond

  bool keyBusy = false;  // an arrow-key redraw is under way

  TraceBinding blue;
  TraceBinding red;
  // Show blue − red as a third trace: a fit's residual while the red trace
  // holds the fitted model.
  bool showResidual = false;
  const double* fieldAxis = nullptr;  // field of every grid point
  const RoadMap* roadMap = nullptr;   // the frame's rotation study, drawn over the plot when shown
  double cursorValue = 0.0;           // value of the active trace at cursor 1
  // Gauss per GHz: the resonance field of g = 1 at 1 GHz (g read-out only).
  double fieldPerFrequency = 714.477350580431;
  float largeFontDivisor = 20.0f;         // client height / this = large font height
  float smallFontDivisor = 30.0f;         // client height / this = small font height
  double frequency = 208.0;               // GHz, for the g read-out
  double gValue = 0.0;                    // g value at cursor 1
  double viewStart = 0.0, viewEnd = 0.0;  // gauss at the plot's left and right edge
  double fieldPerPixel = 0.0;             // (viewEnd − viewStart)/(clientWidth − plotLeft − 1)
  double valuePerPixel = 0.0;             // (valueTop − valueBottom)/(plotBottom − 1)
  // Vertical range: only the zoom box changes it in the main view, and trace
  // drawing ignores it there; the value axis of plot windows uses it.
  double valueBottom = 0.0, valueTop = 0.0;
  int firstIndex = 0, lastIndex = 20479;       // grid points shown
  double dataStep = 0.0;                       // gauss between grid points
  double dataStart = 0.0, dataEnd = 150000.0;  // gauss of the first and last grid point
  double cursorField1 = 0.0, cursorField2 = 0.0;
  double fieldCentre = 75000.0, fieldRange = 150000.0;
  int pointCount = 20480;
  int lastValidIndex = 0;  // last index holding data in plot windows

  // --- Layout ---------------------------------------------------------------
  Rect client;                               // (0, 0, clientWidth, clientHeight) as of the last size change
  Point bandAnchor, bandCurrent, bandDrawn;  // zoom-box corners
  std::string indexText;                     // "%d" of cursorIndex
  std::string valueText;                     // "%8.4g" of cursorValue
  int cursorIndex = 0;                       // grid index at cursor 1
  std::optional<FontSpec> largeFont, smallFont;  // made at every size change
  std::optional<FontSpec> savedFont;             // font of the drag context before a drag
  double plotWidthFraction = 1.0;                // share of the client width used by the plot
  double plotHeightFraction = 0.82;              // base fraction of the client height
  double labelBaseline = 0.0;                    // y at which field-axis labels are written
  int cursor1X = 0, cursor2X = 0;                // x at which the cursor lines stand
  int cursor1NewX = 0, cursor2NewX = 0;          // requested cursor positions
  int activeTrace = kBlue;               // trace of the read-out and the arrow keys: 1 = blue, 0 = red
  int plotLeft = 0;                      // x of the plot's left edge
  int plotBottom = 0;                    // y of the horizontal axis line
  std::string cursor1Text, cursor2Text;  // "%7.3lf" of cursorField1 and cursorField2
  std::string differenceText;            // "%7.3lf" of cursorField2 − cursorField1
  std::string gText;                     // "%8.5lf" of gValue
  Rect cursor1Box, differenceBox, cursor2Box, gBox, indexBox, valueBox;
  std::array<std::int16_t, 64> tickX{};  // x of each tick mark of the last field axis
  std::int16_t tickCount = 0;            // entries of tickX in use
  // The drag context: open from a press to the release while the cursors
  // respond, with the cursor pen in XOR mode and, for cursor drags, the
  // large font.
  bool dragOpen = false;
  bool dragWithFont = false;

  // --- Drawing objects ------------------------------------------------------
  Pen redPen{rgb(255, 0, 0)};
  Pen cursorPen{rgb(0, 255, 0)};
  Pen bluePen{rgb(0, 0, 255)};
  Pen residualPen{rgb(0, 140, 140)};
  Pen eraserPen{rgb(255, 255, 255)};
  Pen savedPen;
  Colour eraserBrush = rgb(255, 255, 255);
  Colour backgroundColour = rgb(255, 255, 255);
  Colour textColour = rgb(0, 100, 0);
  Colour cursorColour = rgb(0, 255, 0);

  // The frame's start-up flag: the first paint of a large enough client area
  // draws the title block instead of the plot, then clears it.
  bool showTitleScreen = true;

  int clientWidth() const { return client.right; }
  int clientHeight() const { return client.bottom; }

 protected:
  // The zoom box from bandAnchor to corner, as one closed XOR path.
  void drawBand(Canvas& dc, Point corner);

 private:
  void openDrag(Canvas& dc, bool withFont);
  void resumeDrag(Canvas& dc);
  void arrowKeyRedraw(Canvas& dc, int key);
};

}  // namespace quorra
