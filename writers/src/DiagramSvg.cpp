// The diagram drawn as SVG (Diagram.h): boxes measured with the metrics of
// the font the picture names, placed around a centre table, or by
// Graphviz's dot engine one group of connected tables at a time and the
// groups packed side by side; lines drawn between the rows of the columns
// a foreign key joins.
#include "Diagram.h"
#include "DocumentText.h"
#include "ModelIndex.h"

#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <unordered_map>

namespace writers {

using namespace model;

namespace {

// DejaVu Sans advance widths of ' ' to '~' in thousandths of an em, regular
// and bold (from the font's hmtx table).
constexpr unsigned short kRegular[95] = {
    317, 400, 459, 837, 636, 950, 779, 274, 390, 390, 500, 837, 317, 360, 317, 336, 636, 636, 636,
    636, 636, 636, 636, 636, 636, 636, 336, 336, 837, 837, 837, 530, 1000, 684, 686, 698, 770, 631,
    575, 774, 751, 294, 294, 655, 557, 862, 748, 787, 603, 787, 694, 634, 610, 731, 684, 988, 685,
    610, 685, 390, 336, 390, 837, 500, 500, 612, 634, 549, 634, 615, 352, 634, 633, 277, 277, 579,
    277, 974, 633, 611, 634, 634, 411, 520, 392, 633, 591, 817, 591, 591, 524, 636, 336, 636, 837,
};
constexpr unsigned short kBold[95] = {
    348, 456, 520, 837, 695, 1001, 872, 306, 457, 457, 522, 837, 379, 415, 379, 365, 695, 695, 695,
    695, 695, 695, 695, 695, 695, 695, 399, 399, 837, 837, 837, 580, 1000, 773, 762, 733, 830, 683,
    683, 820, 836, 372, 372, 774, 637, 995, 836, 850, 732, 850, 770, 720, 682, 812, 773, 1103, 770,
    724, 725, 457, 365, 457, 837, 500, 500, 674, 715, 592, 715, 678, 435, 715, 711, 342, 342, 665,
    342, 1041, 711, 687, 715, 715, 493, 595, 478, 711, 651, 923, 645, 651, 582, 711, 365, 711, 837,
};

constexpr double kFont = 12;        // px, every text of the picture
constexpr double kRow = 18;         // px, a row of a box
constexpr double kPad = 6;          // px, left and right of a cell's text
constexpr double kGap = 28;         // px, between groups packed side by side
constexpr double kSideGap = 90;     // px, between the centre and its neighbours
constexpr double kColumnGap = 40;   // px, between two columns of neighbours
constexpr double kStack = 10;       // px, between two boxes one above the other
constexpr double kLane = 3;         // px, between two lines through a column's gap
constexpr double kCaption = 26;     // px, the caption's band at the top
constexpr double kMostHeight = 600; // px, the tallest column of neighbours
constexpr double kCurveGap = 16;     // px, between two rows of boxes with names only
constexpr std::size_t kMostRows = 40;  // column rows of one box; the rest is one "more" row

// The width of a text at kFont px: ASCII from the table, combining marks
// none, East Asian wide characters a whole em, the rest a generous average.
double TextWidth(std::string_view utf8, bool bold) {
  const unsigned short* table = bold ? kBold : kRegular;
  double thousandths = 0;
  for (char16_t c : platform::Utf8ToUtf16(utf8)) {
    if (c >= 0x20 && c < 0x7F) thousandths += table[c - 0x20];
    else if (c >= 0x0300 && c < 0x0370) continue;
    else if ((c >= 0x1100 && c < 0x1200) || (c >= 0x2E80 && c < 0xA500) || (c >= 0xAC00 && c < 0xD7A4) ||
             (c >= 0xF900 && c < 0xFB00) || (c >= 0xFF00 && c < 0xFF61))
      thousandths += 1000;
    else if (c >= 0xDC00 && c < 0xE000) continue;  // the second half of a pair counted with the first
    else thousandths += bold ? 780 : 720;
  }
  return thousandths * kFont / 1000;
}

// At most kLongestShownText characters, the rest as "…".
std::string Shortened(const std::string& visible) {
  std::u16string text = platform::Utf8ToUtf16(visible);
  if (text.size() <= kLongestShownText) return visible;
  std::size_t keep = kLongestShownText - 1;
  if (text[keep - 1] >= 0xD800 && text[keep - 1] < 0xDC00) --keep;
  return platform::Utf16ToUtf8(text.substr(0, keep)) + "\u2026";
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", std::round(value * 10) / 10 + 0.0);
  std::string out = text;
  if (out.size() > 2 && out.compare(out.size() - 2, 2, ".0") == 0) out.resize(out.size() - 2);
  return out == "-0" ? "0" : out;
}

struct Row {
  int column = 0;           // the column's id; 0 for the "more" row
  std::string name, type, marks;
  bool underline = false;   // part of the primary key
};

struct Box {
  std::string title;        // shortened
  std::string tooltip;      // the whole name
  std::vector<Row> rows;    // none when only the name is shown
  double nameWidth = 0, typeWidth = 0, markWidth = 0;
  double w = 0, h = 0, x = 0, y = 0;  // size and top left corner, px
  bool centre = false;
  bool drawn = true;        // false for a neighbour left out beyond kMostNeighbours
  std::size_t more = 0;     // for a "more" box: how many tables it stands for
  // A neighbour in the outer column of its side: its lines pass through
  // the gap in the inner column (from channelLeft to channelRight) at laneY.
  bool routed = false;
  double laneY = 0, channelLeft = 0, channelRight = 0;
};

// The rows a box shows: every column (or those a foreign key drawn joins
// and the key's, when there are more than kMostRows), or none.
void Measure(const ModelIndex& index, const DiagramTable& table, const std::vector<int>& wanted, bool names,
             Box& box) {
  box.tooltip = DiagramTableName(index, *table.table);
  box.title = Shortened(box.tooltip.empty() ? std::string(" ") : box.tooltip);
  double width = TextWidth(box.title, true) + 2 * kPad;
  if (!names) {
    std::vector<const DiagramColumn*> shown;
    for (const DiagramColumn& column : table.columns) shown.push_back(&column);
    if (shown.size() > kMostRows) {
      shown.clear();
      for (const DiagramColumn& column : table.columns) {
        const int id = column.column->GetObjectId();
        if (shown.size() < kMostRows &&
            (column.primaryKey || std::find(wanted.begin(), wanted.end(), id) != wanted.end()))
          shown.push_back(&column);
      }
    }
    for (const DiagramColumn* column : shown) {
      Row row;
      row.column = column->column->GetObjectId();
      row.name = Shortened(VisibleText(RawText(*column->column, Name)));
      row.type = Shortened(VisibleText(RawText(*column->column, DataType)));
      if (column->notNull) row.type += row.type.empty() ? "NOT NULL" : " NOT NULL";
      row.marks = column->primaryKey ? (column->foreignKey ? "PK FK" : "PK") : (column->foreignKey ? "FK" : "");
      row.underline = column->primaryKey;
      box.nameWidth = std::max(box.nameWidth, TextWidth(row.name, false) + 2 * kPad);
      box.typeWidth = std::max(box.typeWidth, TextWidth(row.type, false) + 2 * kPad);
      box.markWidth = std::max(box.markWidth, TextWidth(row.marks, false) + 2 * kPad);
      box.rows.push_back(std::move(row));
    }
    if (shown.size() < table.columns.size()) {
      Row more;
      more.name = std::to_string(table.columns.size() - shown.size()) + " more columns";
      box.nameWidth = std::max(box.nameWidth, TextWidth(more.name, false) + 2 * kPad);
      box.rows.push_back(std::move(more));
    }
  }
  width = std::max(width, box.nameWidth + box.typeWidth + box.markWidth);
  // Extra width goes to the type column, so the marks stay on the right.
  if (!box.rows.empty()) box.typeWidth = width - box.nameWidth - box.markWidth;
  box.w = std::ceil(width);
  box.h = kRow * static_cast<double>(1 + box.rows.size()) + 2;
}

// The y of a column's row in its box (its middle), or of the title row.
double RowY(const Box& box, int column) {
  for (std::size_t i = 0; i < box.rows.size(); ++i)
    if (box.rows[i].column == column && column != 0) return box.y + 1 + kRow * (static_cast<double>(i) + 1.5);
  return box.y + 1 + kRow / 2;
}

class Drawing {
 public:
  Drawing(const ModelIndex& index, const Diagram& diagram, const DiagramDrawing& drawing)
      : m_index(index), m_diagram(diagram), m_drawing(drawing), m_boxes(diagram.tables.size()) {}

  // Whether the packed picture with columns keeps its fitted text
  // readable. The boxes' area alone bounds the scale, so a model far too
  // large for one picture is answered without a layout.
  bool ColumnsReadable() {
    MeasureAll(false);
    if (!AreaMayBeReadable()) return false;
    Packed();
    return FittedText() >= kMinimumFittedText;
  }

  std::string Draw() {
    if (m_diagram.centre >= 0 && m_diagram.depth <= 1) {
      Star();
    } else {
      bool names = m_drawing.columns == DiagramDrawing::Columns::NamesOnly;
      MeasureAll(names);
      // Boxes whose area alone makes the fitted text too small go to names
      // without the layout that would show it.
      if (m_drawing.columns == DiagramDrawing::Columns::Auto && !names && !AreaMayBeReadable()) {
        names = true;
        MeasureAll(true);
      }
      Packed();
      if (m_drawing.columns == DiagramDrawing::Columns::Auto && !names && FittedText() < kMinimumFittedText) {
        MeasureAll(true);
        Packed();
      }
    }
    if (m_drawing.namesOnly != nullptr)
      *m_drawing.namesOnly = std::all_of(m_boxes.begin(), m_boxes.end(), [](const Box& box) { return box.rows.empty(); });
    return Svg();
  }

 private:
  void MeasureAll(bool names) {
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
      m_boxes[i] = Box();
      Measure(m_index, m_diagram.tables[i], {}, names, m_boxes[i]);
      m_boxes[i].centre = static_cast<int>(i) == m_diagram.centre;
    }
  }

  // Whether the boxes as measured could keep the fitted text readable:
  // the packed picture is at least their area, so this bounds its scale.
  bool AreaMayBeReadable() const {
    double area = 0;
    for (const Box& box : m_boxes) area += box.w * box.h;
    return kFont * std::min(1.0, std::sqrt(kFitWidth * kFitHeight / std::max(1.0, area))) >= kMinimumFittedText;
  }

  // The text size, in px, once the picture is fitted into the window.
  double FittedText() const {
    return kFont * std::min({1.0, kFitWidth / std::max(1.0, m_width), kFitHeight / std::max(1.0, m_height)});
  }

  // Around one table: the centre with its columns, the tables that refer
  // to it on the left, those it refers to on the right, each showing the
  // columns the foreign keys join.
  void Star() {
    const auto centre = static_cast<std::size_t>(m_diagram.centre);
    std::vector<std::vector<int>> wanted(m_boxes.size());
    std::vector<int> side(m_boxes.size(), 0);  // -1 left, 1 right
    for (const DiagramEdge& edge : m_diagram.edges) {
      wanted[edge.from].push_back(edge.fromColumn);
      wanted[edge.to].push_back(edge.toColumn);
      if (edge.to == centre && edge.from != centre && side[edge.from] == 0) side[edge.from] = -1;
      if (edge.from == centre && edge.to != centre) side[edge.to] = 1;
    }
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
      Measure(m_index, m_diagram.tables[i], wanted[i], false, m_boxes[i]);
      if (i != centre && m_boxes[i].rows.size() > 6) {
        // A neighbour shows the joined columns only.
        m_boxes[i] = Box();
        std::vector<int> joined = wanted[i];
        DiagramTable narrow{m_diagram.tables[i].table, {}};
        for (const DiagramColumn& column : m_diagram.tables[i].columns)
          if (std::find(joined.begin(), joined.end(), column.column->GetObjectId()) != joined.end())
            narrow.columns.push_back(column);
        Measure(m_index, narrow, {}, false, m_boxes[i]);
      }
    }
    Box& middle = m_boxes[centre];
    middle.centre = true;
    double top = kCaption + 8;
    double left = 0;
    std::vector<std::size_t> lefts, rights;
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
      if (i == centre) continue;
      (side[i] < 0 ? lefts : rights).push_back(i);
    }
    auto byName = [&](std::size_t a, std::size_t b) { return m_boxes[a].tooltip < m_boxes[b].tooltip; };
    std::sort(lefts.begin(), lefts.end(), byName);
    std::sort(rights.begin(), rights.end(), byName);
    // Each side in at most two columns of kMostHeight, nearest first.
    struct Column {
      std::vector<std::size_t> boxes;
      double width = 0, height = 0;
      std::size_t split = 0;  // boxes above the gap the outer column's lines pass through; 0: no gap
      double gap = 0;
      double x = 0;
    };
    auto stack = [&](std::vector<std::size_t>& items) {
      std::vector<Column> columns;
      std::size_t placed = 0;
      for (std::size_t i : items) {
        if (placed >= kMostNeighbours) {
          m_boxes[i].drawn = false;
          continue;
        }
        if (columns.empty() || columns.back().height + m_boxes[i].h > kMostHeight) {
          if (columns.size() == 2) {
            m_boxes[i].drawn = false;
            continue;
          }
          columns.emplace_back();
        }
        Column& column = columns.back();
        column.boxes.push_back(i);
        column.height += m_boxes[i].h + kStack;
        column.width = std::max(column.width, m_boxes[i].w);
        ++placed;
      }
      const std::size_t hidden = items.size() - placed;
      if (hidden > 0) {
        Box more;
        more.more = hidden;
        more.title = "+ " + std::to_string(hidden) + " more " + (hidden == 1 ? "table" : "tables");
        more.tooltip = more.title + " (listed on the page)";
        more.w = std::ceil(TextWidth(more.title, true) + 2 * kPad);
        more.h = kRow + 2;
        m_more.push_back(more);
        Column& column = columns.back();
        column.boxes.push_back(m_boxes.size() + m_more.size() - 1);
        column.height += more.h + kStack;
        column.width = std::max(column.width, more.w);
      }
      return columns;
    };
    std::vector<Column> leftColumns = stack(lefts);
    std::vector<Column> rightColumns = stack(rights);
    // Lines from an outer column to the centre would run under the inner
    // column's boxes: the inner column opens in the middle, a lane a box.
    for (auto* columns : {&leftColumns, &rightColumns}) {
      if (columns->size() < 2) continue;
      Column& inner = (*columns)[0];
      inner.split = (inner.boxes.size() + 1) / 2;
      inner.gap = 2 * kStack + kLane * static_cast<double>((*columns)[1].boxes.size());
      inner.height += inner.gap;
    }
    double height = middle.h;
    for (const auto* columns : {&leftColumns, &rightColumns})
      for (const Column& column : *columns) height = std::max(height, column.height - kStack);
    auto place = [&](const Column& column, double x, bool alignRight) {
      double y = top + (height - (column.height - kStack)) / 2;
      for (std::size_t k = 0; k < column.boxes.size(); ++k) {
        const std::size_t i = column.boxes[k];
        Box& box = i < m_boxes.size() ? m_boxes[i] : m_more[i - m_boxes.size()];
        box.x = alignRight ? x + column.width - box.w : x;
        box.y = y;
        y += box.h + kStack;
        if (k + 1 == column.split) y += column.gap;
      }
    };
    // The outer column's boxes, top to bottom, take the inner column's
    // lanes in that order, so that their lines do not cross in the gap.
    auto route = [&](const std::vector<Column>& columns) {
      if (columns.size() < 2) return;
      const Column& inner = columns[0];
      const Box& above = m_boxes[inner.boxes[inner.split - 1]];
      const double left = inner.x, right = inner.x + inner.width;
      double lane = above.y + above.h + kStack + kLane / 2;
      for (std::size_t i : columns[1].boxes) {
        if (i >= m_boxes.size()) continue;  // the "more" box
        m_boxes[i].routed = true;
        m_boxes[i].laneY = lane;
        m_boxes[i].channelLeft = left;
        m_boxes[i].channelRight = right;
        lane += kLane;
      }
    };
    double x = left;
    for (auto it = leftColumns.rbegin(); it != leftColumns.rend(); ++it) {
      place(*it, x, true);
      it->x = x;
      x += it->width + (std::next(it) == leftColumns.rend() ? kSideGap : kColumnGap);
    }
    middle.x = x;
    middle.y = top + (height - middle.h) / 2;
    x += middle.w + kSideGap;
    for (Column& column : rightColumns) {
      place(column, x, false);
      column.x = x;
      x += column.width + kColumnGap;
    }
    route(leftColumns);
    route(rightColumns);
    m_width = std::max(x - (rightColumns.empty() ? kSideGap : kColumnGap), middle.x + middle.w) + 40;
    m_height = top + height + 8;
    const std::string name = m_boxes[centre].tooltip;
    m_caption = m_diagram.depth == 0 ? "The table " + name + " alone: part of the schema"
                                     : "Tables one foreign key from " + name + ": part of the schema";
    m_width = std::max(m_width, TextWidth(m_caption, false) + 20);
  }

  // Every group of connected tables laid out by dot, the tables without
  // foreign keys in a grid, all packed into rows about a window wide.
  void Packed() {
    const std::size_t count = m_boxes.size();
    std::vector<std::size_t> parent(count);
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&](std::size_t i) {
      while (parent[i] != i) i = parent[i] = parent[parent[i]];
      return i;
    };
    for (const DiagramEdge& edge : m_diagram.edges) parent[root(edge.from)] = root(edge.to);
    std::map<std::size_t, std::vector<std::size_t>> groups;  // by root; members in the diagram's order
    std::vector<std::size_t> alone;
    std::vector<int> degree(count, 0);
    for (const DiagramEdge& edge : m_diagram.edges) {
      if (edge.from != edge.to) {
        ++degree[edge.from];
        ++degree[edge.to];
      }
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (degree[i] == 0) alone.push_back(i);
      else groups[root(i)].push_back(i);
    }
    struct Block {
      std::vector<std::size_t> boxes;
      double w = 0, h = 0;  // the boxes' positions are relative to the block
    };
    std::vector<Block> blocks;
    std::vector<std::vector<const DiagramEdge*>> edgesOf(count);
    for (const DiagramEdge& edge : m_diagram.edges) edgesOf[root(edge.from)].push_back(&edge);
    for (auto& [first, members] : groups) {
      Block block;
      LayOutGroup(members, edgesOf[root(first)], block.w, block.h);
      block.boxes = members;
      blocks.push_back(std::move(block));
    }
    if (!alone.empty()) {
      Block block;
      Grid(alone, block.w, block.h);
      block.boxes = alone;
      blocks.push_back(std::move(block));
    }
    // Rows of blocks, tallest first, each row about as wide as the window's
    // proportion asks of the whole.
    double area = 0, widest = 0;
    for (const Block& block : blocks) {
      area += (block.w + kGap) * (block.h + kGap);
      widest = std::max(widest, block.w);
    }
    const double rowWidth = std::max(widest, std::sqrt(area * kFitWidth / kFitHeight));
    std::vector<std::size_t> order(blocks.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return blocks[a].h > blocks[b].h; });
    double x = 0, y = 0, rowHeight = 0;
    m_width = 0;
    for (std::size_t k : order) {
      Block& block = blocks[k];
      if (x > 0 && x + block.w > rowWidth) {
        x = 0;
        y += rowHeight + kGap;
        rowHeight = 0;
      }
      for (std::size_t i : block.boxes) {
        m_boxes[i].x += x + 8;
        m_boxes[i].y += y + 8;
      }
      x += block.w + kGap;
      rowHeight = std::max(rowHeight, block.h);
      m_width = std::max(m_width, x - kGap + 16);
    }
    m_height = y + rowHeight + 16;
  }

  // Boxes in rows, as many to a row as keeps the grid about as wide as
  // the window's proportion.
  void Grid(const std::vector<std::size_t>& items, double& width, double& height) {
    double area = 0;
    for (std::size_t i : items) area += (m_boxes[i].w + kGap) * (m_boxes[i].h + kStack);
    const double rowWidth = std::sqrt(area * kFitWidth / kFitHeight);
    // Columns of equal width: the widest box's, or less where few are wide.
    double cell = 0;
    for (std::size_t i : items) cell = std::max(cell, m_boxes[i].w);
    const auto perRow = static_cast<std::size_t>(std::max(1.0, std::floor(rowWidth / (cell + kGap))));
    double y = 0;
    width = 0;
    for (std::size_t start = 0; start < items.size(); start += perRow) {
      double rowHeight = 0;
      for (std::size_t k = start; k < std::min(items.size(), start + perRow); ++k) {
        Box& box = m_boxes[items[k]];
        box.x = static_cast<double>(k - start) * (cell + kGap);
        box.y = y;
        rowHeight = std::max(rowHeight, box.h);
        width = std::max(width, box.x + box.w);
      }
      y += rowHeight + kStack;
    }
    height = y - kStack;
  }

  // One group of connected tables by dot, left to right in the direction
  // of the foreign keys. A path longer than the window's proportion allows
  // is folded into bands (the edges between bands do not rank), and the
  // tables that refer to one other only are spread over several ranks.
  void LayOutGroup(const std::vector<std::size_t>& members, const std::vector<const DiagramEdge*>& edges,
                   double& width, double& height) {
    // Boxes with columns are ranked left to right by dot, so that lines run
    // from row to row. Boxes with names only (a large group) are placed by
    // Curve, about as wide as high: dot stacks a hub's hundred neighbours
    // into a few columns (a 1:6 strip for 400 tables with four hubs), and a
    // force-directed engine takes seconds for 1,000 tables (bench/diagram.py)
    // to draw a cloud in which no line can be followed.
    const bool names = std::all_of(members.begin(), members.end(), [&](std::size_t i) { return m_boxes[i].rows.empty(); });
    if (names && members.size() > 12) {
      Curve(members, edges, width, height);
      return;
    }
    std::map<std::size_t, std::size_t> number;  // diagram index -> node number
    double area = 0;
    for (std::size_t i : members) {
      number.emplace(i, number.size());
      area += (m_boxes[i].w + 60) * (m_boxes[i].h + 14);
    }
    // Ranks by longest path from the tables nothing refers to, in the
    // members' order (edges that close a cycle are not followed).
    std::vector<int> rank(members.size(), 0);
    std::vector<std::vector<std::size_t>> out(members.size());
    std::vector<int> into(members.size(), 0), referencing(members.size(), 0), referenced(members.size(), 0);
    for (const DiagramEdge* edge : edges) {
      if (edge->from == edge->to) continue;
      const std::size_t a = number[edge->from], b = number[edge->to];
      out[a].push_back(b);
      ++into[b];
      ++referencing[a];
      ++referenced[b];
    }
    std::vector<std::size_t> ready;
    for (std::size_t i = 0; i < members.size(); ++i)
      if (into[i] == 0) ready.push_back(i);
    std::vector<int> left = into;
    std::vector<char> done(members.size(), 0);
    for (std::size_t next = 0; next < members.size();) {
      if (ready.empty()) {  // a cycle: start from the first not ranked
        while (next < members.size() && done[next]) ++next;
        if (next >= members.size()) break;
        ready.push_back(next);
        left[next] = 0;
      }
      const std::size_t at = ready.back();
      ready.pop_back();
      if (done[at]) continue;
      done[at] = 1;
      for (std::size_t to : out[at]) {
        rank[to] = std::max(rank[to], rank[at] + 1);
        if (--left[to] == 0) ready.push_back(to);
      }
    }
    double meanWidth = 0, meanHeight = 0;
    for (std::size_t i : members) {
      meanWidth += m_boxes[i].w + 60;
      meanHeight += m_boxes[i].h + 14;
    }
    meanWidth /= static_cast<double>(members.size());
    meanHeight /= static_cast<double>(members.size());
    const auto band = static_cast<int>(std::max(
        3.0, std::ceil(std::sqrt(static_cast<double>(members.size()) * meanHeight / meanWidth * kFitWidth / kFitHeight))));
    std::string dot =
        "digraph g {\n  graph [rankdir=LR, ranksep=0.7, nodesep=0.2, splines=false];\n"
        "  node [shape=box, fixedsize=true, label=\"\"];\n";
    for (std::size_t i : members) {
      const std::size_t n = number[i];
      dot += "  n" + std::to_string(n) + " [width=" + Number(m_boxes[i].w / 72 + 0.005) +
             ", height=" + Number(m_boxes[i].h / 72 + 0.005) + "];\n";
    }
    // A table's leaves (tables that refer to it only, and nothing to them)
    // are spread over as many ranks as makes their block about square.
    std::map<std::size_t, int> leavesOf, placed;
    for (const DiagramEdge* edge : edges) {
      const std::size_t a = number[edge->from];
      if (edge->from != edge->to && referencing[a] == 1 && referenced[a] == 0) ++leavesOf[number[edge->to]];
    }
    for (const DiagramEdge* edge : edges) {
      if (edge->from == edge->to) continue;
      const std::size_t a = number[edge->from], b = number[edge->to];
      dot += "  n" + std::to_string(a) + " -> n" + std::to_string(b);
      std::string attributes;
      if (rank[a] / band != rank[b] / band) attributes = "constraint=false";
      if (referencing[a] == 1 && referenced[a] == 0) {
        const int leaves = leavesOf[b];
        const int spread = std::max(1, static_cast<int>(std::round(std::sqrt(leaves * meanHeight / meanWidth))));
        if (spread > 1) attributes = "minlen=" + std::to_string(1 + placed[b]++ % spread);
      }
      dot += attributes.empty() ? ";\n" : " [" + attributes + "];\n";
    }
    dot += "}\n";
    const LaidOutGraph laid = LayOut(dot, "dot", members.size());
    for (std::size_t i : members) {
      const std::size_t n = number[i];
      m_boxes[i].x = laid.x[n] - m_boxes[i].w / 2;
      m_boxes[i].y = laid.y[n] - m_boxes[i].h / 2;
    }
    width = laid.width;
    height = laid.height;
    (void)area;
  }

  // A large group of boxes with names only, without Graphviz: the tables
  // in the order a depth-first walk from the most connected one meets
  // them, along a curve that fills a grid of cells block by block, so that
  // the tables a foreign key joins sit close together: a path runs from
  // cell to cell, a hub has its tables around it, and each branch of a tree
  // has a patch of its own. A cell is a box's height and a gap high; a
  // column as wide as its widest box.
  void Curve(const std::vector<std::size_t>& members, const std::vector<const DiagramEdge*>& edges, double& width,
             double& height) {
    const std::size_t count = members.size();
    std::unordered_map<std::size_t, std::size_t> number;  // diagram index -> place in members
    number.reserve(count);
    for (std::size_t k = 0; k < count; ++k) number.emplace(members[k], k);
    std::vector<std::vector<std::size_t>> next(count);
    for (const DiagramEdge* edge : edges) {
      if (edge->from == edge->to) continue;
      const std::size_t a = number.at(edge->from), b = number.at(edge->to);
      next[a].push_back(b);
      next[b].push_back(a);
    }
    std::size_t start = 0;
    for (std::size_t k = 1; k < count; ++k)
      if (next[k].size() > next[start].size()) start = k;
    std::vector<std::size_t> order;
    order.reserve(count);
    std::vector<char> seen(count, 0);
    // A group is connected: the walk from the start meets every table (the
    // others start walks of their own all the same, so that none is lost).
    // A table's leaves (joined to it alone) come at once, half before it
    // and half after, so that it sits amid them on the curve, before the
    // walk goes on into its branches; a single leaf comes before the first
    // table and after any other (which is then next to the table it was
    // reached from): a path is drawn link by link from either end.
    std::vector<std::pair<std::size_t, std::size_t>> stack;  // table, next neighbour to look at
    std::vector<std::size_t> leaves;
    auto visit = [&](std::size_t table, bool first) {
      seen[table] = 1;
      leaves.clear();
      for (std::size_t leaf : next[table]) {
        if (!seen[leaf] && next[leaf].size() == 1) {
          seen[leaf] = 1;
          leaves.push_back(leaf);
        }
      }
      const auto half = static_cast<std::ptrdiff_t>((leaves.size() + (first ? 1 : 0)) / 2);
      order.insert(order.end(), leaves.begin(), leaves.begin() + half);
      order.push_back(table);
      order.insert(order.end(), leaves.begin() + half, leaves.end());
      stack.emplace_back(table, 0);
    };
    for (std::size_t k = 0; k <= count && order.size() < count; ++k) {
      const std::size_t from = k == 0 ? start : k - 1;
      if (seen[from]) continue;
      visit(from, true);
      while (!stack.empty()) {
        const std::size_t at = stack.back().first;
        if (stack.back().second == next[at].size()) {
          stack.pop_back();
          continue;
        }
        const std::size_t to = next[at][stack.back().second++];
        if (!seen[to]) visit(to, false);
      }
    }
    double meanWidth = 0, boxHeight = 0;
    for (std::size_t i : members) {
      meanWidth += m_boxes[i].w;
      boxHeight = std::max(boxHeight, m_boxes[i].h);
    }
    meanWidth = meanWidth / static_cast<double>(count) + kColumnGap;
    const double cellHeight = boxHeight + kCurveGap;
    // Columns and rows for a block of the window's proportion.
    const auto columns = static_cast<long>(std::max(
        1.0, std::round(std::sqrt(static_cast<double>(count) * kFitWidth / kFitHeight * cellHeight / meanWidth))));
    const long rows = (static_cast<long>(count) + columns - 1) / columns;
    std::vector<std::pair<long, long>> cells;  // column, row
    cells.reserve(static_cast<std::size_t>(columns * rows));
    if (columns >= rows) FillCurve(cells, 0, 0, columns, 0, 0, rows);
    else FillCurve(cells, 0, 0, 0, rows, columns, 0);
    cells.resize(count);
    long lastRow = 0;
    std::vector<double> columnWidth(static_cast<std::size_t>(columns), 0);
    for (std::size_t k = 0; k < count; ++k) {
      const auto [column, row] = cells[k];
      lastRow = std::max(lastRow, row);
      double& widest = columnWidth[static_cast<std::size_t>(column)];
      widest = std::max(widest, m_boxes[members[order[k]]].w);
    }
    std::vector<double> columnX(static_cast<std::size_t>(columns), 0);
    double x = 0;
    for (std::size_t column = 0; column < columnWidth.size(); ++column) {
      if (columnWidth[column] == 0) continue;
      columnX[column] = x;
      x += columnWidth[column] + kColumnGap;
    }
    for (std::size_t k = 0; k < count; ++k) {
      const auto column = static_cast<std::size_t>(cells[k].first);
      Box& box = m_boxes[members[order[k]]];
      box.x = columnX[column] + (columnWidth[column] - box.w) / 2;
      box.y = static_cast<double>(cells[k].second) * cellHeight;
    }
    width = x;  // the last gap holds the lines that turn on the right of the last column
    height = static_cast<double>(lastRow) * cellHeight + boxHeight;
  }

  // Every cell of a rectangle of the grid, each next to the one before,
  // filling it block by block (a space-filling curve generalised to any
  // rectangle): from (x, y) along (ax, ay), the rectangle's long side, and
  // across along (bx, by).
  static void FillCurve(std::vector<std::pair<long, long>>& cells, long x, long y, long ax, long ay, long bx, long by) {
    auto sign = [](long v) { return static_cast<long>(v > 0) - static_cast<long>(v < 0); };
    const long w = std::abs(ax + ay), h = std::abs(bx + by);
    const long dax = sign(ax), day = sign(ay), dbx = sign(bx), dby = sign(by);
    if (h == 1 || w == 1) {
      const long steps = h == 1 ? w : h;
      const long sx = h == 1 ? dax : dbx, sy = h == 1 ? day : dby;
      for (long i = 0; i < steps; ++i) cells.emplace_back(x + i * sx, y + i * sy);
      return;
    }
    long ax2 = ax / 2, ay2 = ay / 2, bx2 = bx / 2, by2 = by / 2;
    const long w2 = std::abs(ax2 + ay2), h2 = std::abs(bx2 + by2);
    if (2 * w > 3 * h) {
      if (w2 % 2 != 0 && w > 2) {
        ax2 += dax;
        ay2 += day;
      }
      FillCurve(cells, x, y, ax2, ay2, bx, by);
      FillCurve(cells, x + ax2, y + ay2, ax - ax2, ay - ay2, bx, by);
    } else {
      if (h2 % 2 != 0 && h > 2) {
        bx2 += dbx;
        by2 += dby;
      }
      FillCurve(cells, x, y, bx2, by2, ax2, ay2);
      FillCurve(cells, x + bx2, y + by2, ax, ay, bx - bx2, by - by2);
      FillCurve(cells, x + (ax - dax) + (bx2 - dbx), y + (ay - day) + (by2 - dby), -bx2, -by2, -(ax - ax2),
                -(ay - ay2));
    }
  }

  const Box& BoxOf(std::size_t i) const { return m_boxes[i]; }

  void DrawBox(std::string& out, std::size_t i) {
    const Box& box = m_boxes[i];
    const CMOObject& table = *m_diagram.tables[i].table;
    const std::string href = m_drawing.link ? m_drawing.link(table) : std::string();
    out += "<g class=\"node\"" + std::string(box.centre ? " data-centre=\"true\"" : "") + " id=\"" +
           MarkupText(DiagramNodeId(m_index, table)) + "\"><title>" + MarkupText(box.tooltip) + "</title>";
    if (!href.empty()) out += "<a href=\"" + MarkupText(href) + "\">";
    const std::string x = Number(box.x), y = Number(box.y);
    out += "<rect x=\"" + x + "\" y=\"" + y + "\" width=\"" + Number(box.w) + "\" height=\"" + Number(box.h) +
           "\" fill=\"#fff\" stroke=\"" + (box.centre ? "#1f5fa8\" stroke-width=\"2.5" : "#5b7083") + "\"/>";
    out += "<rect x=\"" + x + "\" y=\"" + y + "\" width=\"" + Number(box.w) + "\" height=\"" + Number(kRow + 1) +
           "\" fill=\"" + (box.centre ? "#a9c8ea" : "#d5e3f0") + "\" stroke=\"none\"/>";
    out += "<text x=\"" + Number(box.x + kPad) + "\" y=\"" + Number(box.y + 14) + "\" font-weight=\"bold\">" +
           MarkupText(box.title) + "</text>";
    for (std::size_t r = 0; r < box.rows.size(); ++r) {
      const Row& row = box.rows[r];
      const double top = box.y + 1 + kRow * static_cast<double>(r + 1);
      out += "<line x1=\"" + x + "\" x2=\"" + Number(box.x + box.w) + "\" y1=\"" + Number(top) + "\" y2=\"" +
             Number(top) + "\" stroke=\"#c9d3dc\"/>";
      const std::string baseline = Number(top + 13);
      out += "<text x=\"" + Number(box.x + kPad) + "\" y=\"" + baseline + "\"" +
             (row.underline ? " text-decoration=\"underline\"" : "") + (row.column == 0 ? " font-style=\"italic\"" : "") +
             ">" + MarkupText(row.name) + "</text>";
      if (!row.type.empty())
        out += "<text x=\"" + Number(box.x + box.nameWidth + kPad) + "\" y=\"" + baseline + "\" fill=\"#4a4a4a\">" +
               MarkupText(row.type) + "</text>";
      if (!row.marks.empty())
        out += "<text x=\"" + Number(box.x + box.w - box.markWidth + kPad) + "\" y=\"" + baseline + "\">" + row.marks +
               "</text>";
    }
    if (!href.empty()) out += "</a>";
    out += "</g>\n";
  }

  void DrawEdge(std::string& out, const DiagramEdge& edge) {
    const Box& from = m_boxes[edge.from];
    const Box& to = m_boxes[edge.to];
    if (!from.drawn || !to.drawn) return;
    const double y1 = RowY(from, edge.fromColumn);
    double y2 = RowY(to, edge.toColumn);
    // Ends spread over the row where several lines reach it.
    const auto key = std::make_pair(edge.to, edge.toColumn);
    const int arriving = m_arriving[key];
    if (arriving > 1) {
      const int k = m_arrived[key]++;
      const double spread = std::min(kRow - 6, 3.0 * arriving);
      y2 += spread * (static_cast<double>(k) / (arriving - 1) - 0.5);
    }
    std::string path;
    double x1, x2, d1, d2;
    const bool stacked = edge.from != edge.to && from.x < to.x + to.w && to.x < from.x + from.w;
    if (stacked) {
      // One box above the other (a column of the grid): a line between
      // their sides would cross both, so it leaves and enters on the right.
      x1 = from.x + from.w;
      x2 = to.x + to.w;
      const double bend = std::min(36.0, 14 + std::abs(y2 - y1) / 4);
      path = "M" + Number(x1) + "," + Number(y1) + " C" + Number(std::max(x1, x2) + bend) + "," + Number(y1) + " " +
             Number(std::max(x1, x2) + bend) + "," + Number(y2) + " " + Number(x2) + "," + Number(y2);
      d1 = 1;
      d2 = 1;
    } else if (edge.from == edge.to) {
      x1 = x2 = from.x + from.w;
      path = "M" + Number(x1) + "," + Number(y1) + " C" + Number(x1 + 40) + "," + Number(y1) + " " +
             Number(x2 + 40) + "," + Number(y2 + (y1 == y2 ? 16 : 0)) + " " + Number(x2) + "," + Number(y2);
      d1 = 1;
      d2 = 1;
    } else {
      const bool rightward = from.x + from.w / 2 <= to.x + to.w / 2;
      x1 = rightward ? from.x + from.w : from.x;
      x2 = rightward ? to.x : to.x + to.w;
      d1 = rightward ? 1 : -1;
      d2 = -d1;
      const Box* outer = from.routed ? &from : to.routed ? &to : nullptr;
      if (outer != nullptr) {
        // Into the inner column's gap at the box's lane, through it, and on.
        const double in = rightward ? outer->channelLeft - 6 : outer->channelRight + 6;
        const double out = rightward ? outer->channelRight + 6 : outer->channelLeft - 6;
        const double lane = outer->laneY;
        const double near = std::abs(in - x1) / 2, far = std::max(30.0, std::abs(x2 - out) / 2);
        path = "M" + Number(x1) + "," + Number(y1) + " C" + Number(x1 + d1 * near) + "," + Number(y1) + " " +
               Number(in - d1 * near) + "," + Number(lane) + " " + Number(in) + "," + Number(lane) + " L" +
               Number(out) + "," + Number(lane) + " C" + Number(out + d1 * far) + "," + Number(lane) + " " +
               Number(x2 + d2 * far) + "," + Number(y2) + " " + Number(x2) + "," + Number(y2);
      } else {
        const double bend = std::max(30.0, std::abs(x2 - x1) / 2);
        path = "M" + Number(x1) + "," + Number(y1) + " C" + Number(x1 + d1 * bend) + "," + Number(y1) + " " +
               Number(x2 + d2 * bend) + "," + Number(y2) + " " + Number(x2) + "," + Number(y2);
      }
    }
    const CMOObject& foreignKey = *edge.foreignKey;
    std::string tooltip = from.tooltip + " (" + VisibleText(NameOf(edge.fromColumn)) + ") \u2192 " + to.tooltip + " (" +
                          VisibleText(NameOf(edge.toColumn)) + ")";
    const std::u16string& name = RawText(foreignKey, Name);
    if (!name.empty()) tooltip = VisibleText(name) + ": " + tooltip;
    out += "<g class=\"edge\" id=\"" + MarkupText(DiagramEdgeId(m_index, m_diagram, edge)) + "\"><title>" + MarkupText(tooltip) +
           "</title><path d=\"" + path + "\" fill=\"none\" stroke=\"#5b7083\"" +
           (edge.optional ? " stroke-dasharray=\"5,3\"" : "") + "/>";
    // The referencing end: a crow's foot (many rows), or a bar (one);
    // the referenced end: an arrow.
    const std::string a = Number(x1), b = Number(y1);
    if (edge.oneToOne) {
      out += "<path d=\"M" + Number(x1 + d1 * 6) + "," + Number(y1 - 5) + " v10\" stroke=\"#5b7083\"/>";
    } else {
      out += "<path d=\"M" + Number(x1 + d1 * 9) + "," + b + " L" + a + "," + Number(y1 - 5) + " M" +
             Number(x1 + d1 * 9) + "," + b + " L" + a + "," + Number(y1 + 5) + "\" fill=\"none\" stroke=\"#5b7083\"/>";
    }
    out += "<path d=\"M" + Number(x2) + "," + Number(y2) + " L" + Number(x2 + d2 * 8) + "," + Number(y2 - 4) + " L" +
           Number(x2 + d2 * 8) + "," + Number(y2 + 4) + "Z\" fill=\"#5b7083\"/></g>\n";
  }

  std::u16string NameOf(int column) const {
    const CMOObject* object = m_index.Object(column);
    return object == nullptr ? std::u16string() : RawText(*object, Name);
  }

  std::string Svg() {
    for (const DiagramEdge& edge : m_diagram.edges) ++m_arriving[std::make_pair(edge.to, edge.toColumn)];
    std::string out;
    out.reserve(1024 + m_boxes.size() * 1200);
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"diagram\" width=\"" + Number(m_width) +
           "\" height=\"" + Number(m_height) + "\" viewBox=\"0 0 " + Number(m_width) + " " + Number(m_height) +
           "\" xml:space=\"preserve\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"" + Number(kFont) + "\" fill=\"#1d2733\">\n";
    if (!m_caption.empty())
      out += "<text class=\"caption\" x=\"8\" y=\"18\" font-style=\"italic\" fill=\"#415263\">" + MarkupText(m_caption) +
             "</text>\n";
    for (const DiagramEdge& edge : m_diagram.edges) DrawEdge(out, edge);
    for (std::size_t i = 0; i < m_boxes.size(); ++i)
      if (m_boxes[i].drawn) DrawBox(out, i);
    for (const Box& more : m_more) {
      out += "<g class=\"more\"><title>" + MarkupText(more.tooltip) + "</title><rect x=\"" + Number(more.x) + "\" y=\"" +
             Number(more.y) + "\" width=\"" + Number(more.w) + "\" height=\"" + Number(more.h) +
             "\" fill=\"#f6f8fa\" stroke=\"#9aa9b8\" stroke-dasharray=\"3,2\"/><text x=\"" + Number(more.x + kPad) +
             "\" y=\"" + Number(more.y + 14) + "\" font-style=\"italic\">" + MarkupText(more.title) + "</text></g>\n";
    }
    out += "</svg>\n";
    return out;
  }

  const ModelIndex& m_index;
  const Diagram& m_diagram;
  const DiagramDrawing& m_drawing;
  std::vector<Box> m_boxes;   // by index into diagram.tables
  std::vector<Box> m_more;    // "+ N more tables" boxes of the neighbours left out
  std::map<std::pair<std::size_t, int>, int> m_arriving, m_arrived;  // lines reaching a row, and drawn so far
  double m_width = 0, m_height = 0;
  std::string m_caption;
};

}  // namespace

std::string DiagramSvg(const ModelIndex& index, const Diagram& diagram, const DiagramDrawing& drawing) {
  return Drawing(index, diagram, drawing).Draw();
}

bool DiagramShowsColumns(const ModelIndex& index, const Diagram& diagram) {
  if (diagram.tables.empty()) return true;
  if (!CanLayOut(diagram)) return false;
  return Drawing(index, diagram, DiagramDrawing()).ColumnsReadable();
}

}  // namespace writers
