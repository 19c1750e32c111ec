#include "window/layout_builder.h"

#include "panel/layout_table.h"
#include "window/emblem.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace
{

QColor colourOf(quint32 rgb)
{
    return QColor(QRgb(rgb));
}

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

QFont fontOf(const LayoutFont& design)
{
    QFont font(utf8(faceName(design.face)));
    font.setPointSizeF(design.points);
    font.setWeight(design.bold ? QFont::Bold : QFont::Normal);
    return font;
}

Qt::Alignment alignmentOf(TextAlign align)
{
    switch (align) {
    case TextAlign::Centre:
        return Qt::AlignHCenter;
    case TextAlign::Right:
        return Qt::AlignRight;
    case TextAlign::Left:
        break;
    }
    return Qt::AlignLeft;
}

QRect pixelRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

// Plain colour fill behind a widget and its text colour, for the kinds drawn by the palette.
void fillWith(QWidget* widget, quint32 back, quint32 text)
{
    QPalette palette = widget->palette();
    if (back != kSystemColour) {
        palette.setColor(QPalette::Window, colourOf(back));
        palette.setColor(widget->backgroundRole(), colourOf(back)); // Button for options
    }
    if (text != kSystemColour) palette.setColor(QPalette::WindowText, colourOf(text));
    widget->setPalette(palette);
    widget->setAutoFillBackground(back != kSystemColour);
}

constexpr int kWrappedCaption = Qt::AlignCenter | Qt::TextWordWrap;
constexpr int kSmallestCaptionPixels = 6;

// The one-pixel edge of a flat button: light above and left, dark below and right.
struct Edge {
    QColor upperLeft, lowerRight;
};
const Edge kRaisedEdge{QColor(0xFF, 0xFF, 0xFF), QColor(0x80, 0x80, 0x80)};
const Edge kFocusedEdge{QColor(0x40, 0x40, 0x40), QColor(0x00, 0x00, 0x00)};
const Edge kSunkenEdge{QColor(0x80, 0x80, 0x80), QColor(0xFF, 0xFF, 0xFF)};

// The top row and the left column are the upper-left colour corner to corner.
void drawEdge(QPainter& painter, const QRectF& r, const Edge& edge)
{
    // Antialiased, so that on a fractional scale the edge blends as a one-pixel line would.
    const bool antialiased = painter.testRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(r.left(), r.top(), r.width(), 1), edge.upperLeft);
    painter.fillRect(QRectF(r.left(), r.top(), 1, r.height()), edge.upperLeft);
    painter.fillRect(QRectF(r.right() - 1, r.top() + 1, 1, r.height() - 1), edge.lowerRight);
    painter.fillRect(QRectF(r.left() + 1, r.bottom() - 1, r.width() - 1, 1), edge.lowerRight);
    painter.setRenderHint(QPainter::Antialiasing, antialiased);
}

// A command button whose caption wraps onto further lines when it is wider than the button
// ("DISPLAY CLEAR", the data toggle), as the panel was designed; the text itself is unchanged.
// A coloured button is drawn flat in its own colour with a one-pixel raised edge, so that
// touching buttons of one colour stay apart; the edge sinks while pressed and turns dark on the
// focused button. It is painted here rather than by a style sheet, which costs milliseconds of
// start-up for every button that has one.
class PanelButton : public QPushButton
{
  public:
    using QPushButton::QPushButton;
    void setFlatFace(const QColor& face) { flatFace_ = face; }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        QRect area = flatFace_.isValid() ? paintFlat(painter) : paintStyled(painter, option);
        painter.setFont(fittedCaptionFont(font(), area, caption));
        style()->drawItemText(&painter, area, kWrappedCaption, option.palette, isEnabled(), caption,
                              QPalette::ButtonText);
    }

  private:
    // Returns the area for the caption.
    QRect paintFlat(QPainter& painter) const
    {
        const bool sunken = isDown() || isChecked();
        painter.fillRect(rect(), sunken ? flatFace_.darker(115) : flatFace_);
        drawEdge(painter, rect(), sunken ? kSunkenEdge : hasFocus() ? kFocusedEdge : kRaisedEdge);
        return rect().adjusted(1, 1, -1, -1);
    }

    QRect paintStyled(QStylePainter& painter, QStyleOptionButton& option) const
    {
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        if (option.state & (QStyle::State_Sunken | QStyle::State_On))
            area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
        return area;
    }

    QColor flatFace_;
};

QWidget* makeButton(const LayoutRow& row, QWidget* parent)
{
    auto* button = new PanelButton(utf8(row.caption), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setAutoRepeat(false); // holding is timed by the window, not by the button
    button->setFocusPolicy(Qt::StrongFocus);
    if (row.backColour != kSystemColour) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, colourOf(row.backColour));
        palette.setColor(QPalette::ButtonText, colourOf(row.textColour));
        button->setPalette(palette);
        button->setFlatFace(colourOf(row.backColour));
    }
    return button;
}

// A monitor or the status line: a one-pixel box, black whatever the text colour (a plain frame
// draws it in the text colour, red on the status line). The frame also gives the text its
// indent.
class BoxedLabel : public QLabel
{
  public:
    explicit BoxedLabel(QWidget* parent) : QLabel(parent)
    {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
    }

  protected:
    void initStyleOption(QStyleOptionFrame* option) const override
    {
        QLabel::initStyleOption(option);
        option->palette.setColor(QPalette::WindowText, Qt::black);
    }
};

// A title designed to wrap at its blanks. The designed face's bold is wider than its stand-in,
// so a caption that now fits on one line still breaks where the designed one did.
class WrappedTitle : public QLabel
{
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QRect area = contentsRect();
        const int oneLine = fontMetrics().horizontalAdvance(text());
        if (oneLine <= area.width()) {
            const int narrowed = oneLine - 1;
            area.adjust((area.width() - narrowed) / 2, 0, -(area.width() - narrowed + 1) / 2, 0);
        }
        style()->drawItemText(&painter, area, int(alignment()) | Qt::TextWordWrap, palette(),
                              isEnabled(), text(), foregroundRole());
    }
};

QWidget* makeLabel(const LayoutRow& row, QWidget* parent)
{
    Q_ASSERT(!(row.has(LayoutFlag::Wraps) && row.has(LayoutFlag::SingleBorder)));
    QLabel* label = row.has(LayoutFlag::Wraps)          ? new WrappedTitle(parent)
                    : row.has(LayoutFlag::SingleBorder) ? new BoxedLabel(parent)
                                                        : new QLabel(parent);
    // Monitor labels show whatever the line delivers; never read it as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(utf8(row.caption));
    label->setAlignment(alignmentOf(row.align) | Qt::AlignTop);
    label->setWordWrap(row.has(LayoutFlag::Wraps));
    fillWith(label, row.backColour, row.textColour);
    return label;
}

QWidget* makeFrame(const LayoutRow& row, QWidget* parent)
{
    // An etched box without caption (the label inside is the title). A group box would tint
    // its inside away from the listed colour in some styles.
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setMidLineWidth(0);
    fillWith(frame, row.backColour, row.textColour);
    return frame;
}

QWidget* makeOption(const LayoutRow& row, QWidget* parent)
{
    // Auto-exclusive per parent widget: the frame holding an option is its one choice.
    auto* option = new QRadioButton(utf8(row.caption), parent);
    option->setAutoExclusive(true);
    option->setChecked(row.has(LayoutFlag::SelectedAtStart));
    fillWith(option, row.backColour, row.textColour);
    return option;
}

QWidget* makeImage(const LayoutRow&, QWidget* parent)
{
    auto* image = new EmblemLabel(parent);
    image->setPixmap(emblemPixmap(qApp->devicePixelRatio()));
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return image;
}

QWidget* makeControl(const LayoutRow& row, QWidget* parent)
{
    switch (row.kind) {
    case ControlKind::Frame:
        return makeFrame(row, parent);
    case ControlKind::Label:
        return makeLabel(row, parent);
    case ControlKind::Button:
        return makeButton(row, parent);
    case ControlKind::Option:
        return makeOption(row, parent);
    case ControlKind::TextBox:
        return new QLineEdit(parent); // system colours, empty at start
    case ControlKind::Image:
        return makeImage(row, parent);
    }
    return nullptr;
}

// One of the arrow pad's outline lines; it ignores the mouse so it never hides a button.
class LineWidget : public QWidget
{
  public:
    LineWidget(const LayoutLine& line, QWidget* parent) : QWidget(parent), line_(line)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        const QPoint a(twipsToPixels(line.x1), twipsToPixels(line.y1));
        const QPoint b(twipsToPixels(line.x2), twipsToPixels(line.y2));
        const QPoint pad(kLineWidthPixels / 2, kLineWidthPixels / 2);
        origin_ = QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())) - pad;
        from_ = a - origin_;
        to_ = b - origin_;
        setGeometry(QRect(origin_, QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())) + pad));
    }

    Qt::PenStyle penStyle() const
    {
        switch (line_.style) {
        case LineStyle::Dotted:
            return Qt::DotLine;
        case LineStyle::Dashed:
            return Qt::DashLine;
        case LineStyle::Solid:
            break;
        }
        return Qt::SolidLine;
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(colourOf(kLineColour), kLineWidthPixels, penStyle(), Qt::FlatCap));
        painter.drawLine(from_, to_);
    }

  private:
    LayoutLine line_;
    QPoint origin_, from_, to_;
};

void chainFocusOrder(const QHash<QString, QWidget*>& widgets)
{
    std::vector<const LayoutRow*> rows;
    for (const LayoutRow& row : layoutTable())
        if (takesFocus(row.kind) && row.tabIndex >= 0) rows.push_back(&row);
    std::sort(rows.begin(), rows.end(),
              [](const LayoutRow* a, const LayoutRow* b) { return a->tabIndex < b->tabIndex; });
    for (std::size_t i = 1; i < rows.size(); ++i)
        QWidget::setTabOrder(widgets.value(utf8(rows[i - 1]->name)),
                             widgets.value(utf8(rows[i]->name)));
}

void styleWindow(QWidget* window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, colourOf(kWindowBackColour));
    palette.setColor(QPalette::WindowText, colourOf(kBlack));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    window->setFont(fontOf(kWindowFont));
}

} // namespace

void installFontSubstitutions()
{
    QFont::insertSubstitution(utf8(kFaceAName), utf8(kFaceASubstitute));
    QFont::insertSubstitution(utf8(kFaceBName), utf8(kFaceBSubstitute));
}

QHash<QString, QWidget*> buildLayout(QWidget* window)
{
    styleWindow(window);
    QHash<QString, QWidget*> widgets;
    for (const LayoutRow& row : layoutTable()) {
        const QString parentName = utf8(row.parent);
        QWidget* parent = parentName.isEmpty() ? window : widgets.value(parentName);
        Q_ASSERT(parent); // the table lists every frame before what it holds
        QWidget* widget = makeControl(row, parent);
        widget->setObjectName(utf8(row.name));
        widget->setGeometry(pixelRect(row.left, row.top, row.width, row.height));
        if (row.font.face != FontFace::NoFont) widget->setFont(fontOf(row.font));
        if (row.has(LayoutFlag::HiddenAtStart)) widget->hide();
        widgets.insert(widget->objectName(), widget);
    }
    for (const LayoutLine& line : layoutLines()) {
        auto* widget = new LineWidget(line, window);
        widget->setObjectName(utf8(line.name));
        widgets.insert(widget->objectName(), widget);
    }
    chainFocusOrder(widgets);
    return widgets;
}

QFont fittedCaptionFont(const QFont& font, const QRect& area, const QString& caption)
{
    // The stand-in faces are taller than the designed ones: two lines of the data toggle would
    // lose their strokes at the button's edges.
    QFont fitted = font;
    int pixels = QFontInfo(font).pixelSize();
    while (pixels > kSmallestCaptionPixels &&
           QFontMetrics(fitted).boundingRect(area, kWrappedCaption, caption).height() >
               area.height())
        fitted.setPixelSize(--pixels);
    return fitted;
}
