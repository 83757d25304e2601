// The window's controls: names, captions, limits, items, defaults, places.
#include <QFrame>
#include <QPalette>

#include "base/product.h"
#include "ui/built_in_pictures.h"
#include "ui/hover_tab_style.h"
#include "ui/tform1.h"
#include "ui/widget_factory.h"
#include "window/window_layout.h"

namespace vaxo::ui {
namespace {

// A box on the light yellow of the highlighted fields: its text is dark
// whatever the desktop's palette, so that it reads in dark themes too.
void Highlight(QWidget* box) {
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, QColor(255, 255, 225));
    colours.setColor(QPalette::Text, Qt::black);
    box->setPalette(colours);
}

void Chain(std::initializer_list<QWidget*> order) {
    for (auto it = order.begin(); it + 1 != order.end(); ++it) {
        QWidget::setTabOrder(*it, *(it + 1));
    }
}

QRect Rect(const Place& place) {
    return {place.x, place.y, place.width, place.height};
}

QWidget* MakeCheckList(QWidget* parent, const ControlDesign& design) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromStdString(design.name));
    list->setGeometry(Rect(design.place));
    list->setFrameShape(QFrame::NoFrame);
    list->setAutoFillBackground(false);
    list->viewport()->setAutoFillBackground(false);
    list->setSpacing(0);
    for (const std::string& name : design.items) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(170, 17));
    }
    return list;
}

template <typename Widget>
Widget* Placed(Widget* widget, const ControlDesign& design) {
    widget->setObjectName(QString::fromStdString(design.name));
    widget->setGeometry(Rect(design.place));
    return widget;
}

}  // namespace

// The window's own font: the layout is drawn in pixels, so its text is too,
// whatever font and size the desktop chooses. Set on the window with every
// attribute, it also reaches controls for which the desktop names a font.
QFont WindowFont() {
    QFont font("DejaVu Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

void TForm1::BuildWindow() {
    setObjectName("Form1");
    setFont(WindowFont());
    setWindowTitle(QString::fromStdString(kProgramTitle));
    setWindowIcon(BuiltInIcon());
    setFixedSize(kWindowWidth, kWindowHeight);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    QHash<QString, QWidget*> made;
    for (const ControlDesign& design : WindowLayout()) {
        QWidget* parent =
            design.parent.empty() ? this : made.value(QString::fromStdString(design.parent));
        QWidget* control = MakeControl(design, parent);
        control->setToolTip(QString::fromStdString(design.hint));
        if (design.translatable) {
            MarkTranslatable(control);
        }
        if (!design.accessibleName.empty()) {
            control->setAccessibleName(QString::fromStdString(design.accessibleName));
        }
        if (design.highlighted) {
            Highlight(control);
        }
        if (design.bold) {
            QFont bold = control->font();
            bold.setBold(true);
            control->setFont(bold);
        }
        made.insert(control->objectName(), control);
    }
    FindControls();
    StyleControls();
    ShowDesignedDefaults();
    SetTabOrders();
    // The program made its two timers through the window's loop.
    Timer1 = findChild<QTimer*>("Timer1");
    Timer2 = findChild<QTimer*>("Timer2");
}

QWidget* TForm1::MakeControl(const ControlDesign& design, QWidget* parent) {
    const QString name = QString::fromStdString(design.name);
    const QString caption = QString::fromStdString(design.caption);
    const QByteArray id = name.toUtf8();
    switch (design.kind) {
        case ControlKind::Tabs:
            return Placed(new QTabWidget(parent), design);
        case ControlKind::Page: {
            // What the listener gets, after the five pages of what the operator types.
            QWidget* page = design.name == "OnAir" ? new OnAirPage : new QWidget;
            page->setObjectName(name);
            static_cast<QTabWidget*>(parent)->addTab(page, caption);
            return page;
        }
        case ControlKind::Group:
            return MakeGroup(parent, id, caption, Rect(design.place));
        case ControlKind::Panel:
            return MakePanel(parent, id, Rect(design.place), design.framed);
        case ControlKind::Label:
        case ControlKind::Picture:
            return MakeLabel(parent, id, caption, Rect(design.place));
        case ControlKind::Link:
            return MakeLabel(parent, id, "<a href=\"manual.html\">" + caption + "</a>",
                             Rect(design.place));
        case ControlKind::TextBox:
            return MakeTextBox(parent, id, Rect(design.place), design.limit, design.capitals);
        case ControlKind::FileNameBox:
            return MakeFileNameBox(parent, id, Rect(design.place));
        case ControlKind::TickBox:
            return MakeTickBox(parent, id, caption, Rect(design.place));
        case ControlKind::Choice:
            return MakeChoice(parent, id, caption, Rect(design.place));
        case ControlKind::Button:
            return MakeButton(parent, id, caption, Rect(design.place));
        case ControlKind::PickList: {
            QStringList items;
            for (const std::string& item : design.items) {
                items << QString::fromStdString(item);
            }
            return MakePickList(parent, id, items, Rect(design.place));
        }
        case ControlKind::Slider:
            return MakeSlider(parent, id, design.low, design.high, Rect(design.place));
        case ControlKind::CheckList:
            return MakeCheckList(parent, design);
        case ControlKind::Progress:
            return Placed(new QProgressBar(parent), design);
        case ControlKind::Memo:
            return Placed(new QPlainTextEdit(parent), design);
        case ControlKind::RichText:
            return Placed(new QTextBrowser(parent), design);
    }
    return nullptr;
}

template <typename Widget>
void TForm1::Find(Widget*& control, const char* name) {
    control = findChild<Widget*>(name);
}

void TForm1::FindControls() {
    Find(Zalozky, "Zalozky");
    Find(SKIN, "SKIN");
    Find(UP, "UP");
    Find(EX, "EX");
    Find(LOAD, "LOAD");
    Find(SAVE, "SAVE");
    Find(SAAS, "SAAS");
    Find(ProgressBar1, "ProgressBar1");
    Find(Label11, "Label11");
    Find(General, "General");
    Find(DynamicPS, "DynamicPS");
    Find(Radiotext, "Radiotext");
    Find(Settings, "Settings");
    Find(Help, "Help");
    Find(OnAir, "OnAir");
    Find(GNID, "GNID");
    Find(GNPR, "GNPR");
    Find(GNTS, "GNTS");
    Find(GNDI, "GNDI");
    Find(GNAF, "GNAF");
    Find(Label2, "Label2");
    Find(Label7, "Label7");
    Find(Label1, "Label1");
    Find(Label4, "Label4");
    Find(Label5, "Label5");
    Find(Label6, "Label6");
    Find(LOGO, "LOGO");
    Find(Panel3, "Panel3");
    Find(PS, "PS");
    Find(PI, "PI");
    Find(PTY, "PTY");
    Find(MS, "MS");
    Find(TP, "TP");
    Find(TA, "TA");
    Find(DI, "DI");
    for (std::size_t i = 0; i < AF.size(); ++i) {
        Find(AF[i], ("AF" + std::to_string(i + 1)).c_str());
    }
    Find(DPST, "DPST");
    Find(DPRA, "DPRA");
    Find(DPOP, "DPOP");
    for (std::size_t k = 0; k < DPS.size(); ++k) {
        Find(DPS[k], ("DPS" + std::to_string(k + 1)).c_str());
    }
    Find(TrackBar1, "TrackBar1");
    Find(DPSP, "DPSP");
    Find(ENDPS, "ENDPS");
    Find(PSFF, "PSFF");
    Find(UPCHPS, "UPCHPS");
    Find(DPSA, "DPSA");
    Find(DPSC, "DPSC");
    Find(Panel1, "Panel1");
    Find(PSFILE, "PSFILE");
    Find(EFCHAR, "EFCHAR");
    Find(DPBR, "DPBR");
    static const char* const kRadiotexts[] = {"RT", "RT2", "RT3", "RT4"};
    for (std::size_t i = 0; i < RTs.size(); ++i) {
        Find(SRT[i], ("SRT" + std::to_string(i + 1)).c_str());
        Find(RTs[i], kRadiotexts[i]);
    }
    Find(RTOP, "RTOP");
    Find(RTSA, "RTSA");
    Find(ABSW, "ABSW");
    Find(RTFF, "RTFF");
    Find(UPCH, "UPCH");
    Find(TrackBar2, "TrackBar2");
    Find(RTST, "RTST");
    Find(Panel2, "Panel2");
    Find(RTFILE, "RTFILE");
    Find(RTBR, "RTBR");
    Find(Membanks, "Membanks");
    Find(LastSentBox, "LastSentBox");
    Find(STOP, "STOP");
    Find(PORT, "PORT");
    Find(STB1, "STB1");
    Find(STB2, "STB2");
    Find(SHOWB1, "SHOWB1");
    Find(SHOWB2, "SHOWB2");
    Find(PORT1, "PORT1");
    Find(PORT2, "PORT2");
    Find(AUTBSW, "AUTBSW");
    Find(WRITEALL, "WRITEALL");
    Find(SEND, "SEND");
    Find(EXAL, "EXAL");
    Find(AUTOSAVE, "AUTOSAVE");
    Find(HIPRI, "HIPRI");
    Find(ALONTOP, "ALONTOP");
    Find(PORTINFO, "PORTINFO");
    Find(SENT, "SENT");
    Find(REGRDS, "REGRDS");
    Find(HelpBox, "HelpBox");
    Find(ABOUT, "ABOUT");
    Find(Image3, "Image3");
    Find(Label8, "Label8");
}

// What the list of controls does not say: the toolkit's look of each.
void TForm1::StyleControls() {
    Zalozky->tabBar()->setAttribute(Qt::WA_Hover);
    auto* hover = new HoverTabStyle;
    hover->setParent(Zalozky);
    Zalozky->tabBar()->setStyle(hover);
    SKIN->setScaledContents(true);
    SKIN->setPixmap(BuiltInStrip(QSize(522, SKIN->height())));
    UP->setCursor(Qt::PointingHandCursor);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    Label11->setAlignment(Qt::AlignCenter);
    Label11->setAutoFillBackground(true);
    QPalette errorColours = Label11->palette();
    errorColours.setColor(QPalette::Window, Qt::black);
    errorColours.setColor(QPalette::WindowText, Qt::white);
    Label11->setPalette(errorColours);
    Label11->hide();
    auto* band = findChild<QWidget*>("Band");
    band->setAutoFillBackground(true);
    QPalette light = band->palette();
    light.setColor(QPalette::Window, QColor(246, 248, 252));
    light.setColor(QPalette::WindowText, Qt::black);
    band->setPalette(light);
    LOGO->setScaledContents(true);
    LOGO->setPixmap(BuiltInLogo(LOGO->size()));
    for (auto [label, box] : {std::pair<QLabel*, QWidget*>{Label2, PS},
                              {Label7, PI},
                              {Label1, PTY},
                              {Label4, MS},
                              {Label5, TP},
                              {Label6, TA}}) {
        label->setBuddy(box);
    }
    for (std::size_t k = 0; k < DPS.size(); ++k) {
        findChild<QLabel*>(("LabelDps" + std::to_string(k + 1)).c_str())->setBuddy(DPS[k]);
    }
    for (QLabel* period : {DPSP, RTST}) {
        period->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    SENT->setReadOnly(true);
    SENT->setFocusPolicy(Qt::NoFocus);
    SENT->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SENT->setLineWrapMode(QPlainTextEdit::NoWrap);
    HelpBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    HelpBox->setPlainText("(help file vaxohelp.rtf is missing)");
    auto* title = findChild<QLabel*>("AboutTitle");
    QFont titleFont = title->font();
    titleFont.setPixelSize(titleFont.pixelSize() * 14 / 10);
    title->setFont(titleFont);
    Image3->setScaledContents(true);
    Image3->setPixmap(BuiltInAboutPicture(Image3->size()));
    findChild<QLabel*>("AboutCredit")->setWordWrap(true);
    findChild<QLabel*>("AboutCredit")->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label8->setTextFormat(Qt::RichText);
    Label8->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    Label8->setFocusPolicy(Qt::StrongFocus);
    Label8->setCursor(Qt::PointingHandCursor);
    OnAir->Bind();
}

// What a new window shows before the program tells it its station.
void TForm1::ShowDesignedDefaults() {
    PS->setText("FM RADIO");
    PI->setText("FFFF");
    MS->setCurrentIndex(1);
    TP->setCurrentIndex(1);
    TrackBar1->setValue(13);
    PSFILE->setText("dps.txt");
    EFCHAR->setText("*");
    TrackBar2->setValue(5);
    RTFILE->setText("rt.txt");
    for (QAbstractButton* on :
         std::initializer_list<QAbstractButton*>{UPCHPS, DPSA, SRT[0], UPCH, STB1, SHOWB1, PORT1}) {
        on->setChecked(true);
    }
}

void TForm1::SetTabOrders() {
    Chain({UP, EX, LOAD, SAVE, SAAS});
    Chain({PS, PI, PTY, MS, TP, TA, DI, AF[0], AF[1], AF[2], AF[3], AF[4], AF[5], AF[6]});
    Chain({DPS[0], DPS[1], DPS[2], DPS[3], DPS[7], DPS[6], DPS[5], DPS[4], TrackBar1, ENDPS, PSFF,
           PSFILE, DPBR, UPCHPS, DPSA, DPSC, EFCHAR});
    Chain({SRT[0], RTs[0], SRT[1], RTs[1], SRT[2], RTs[2], SRT[3], RTs[3], RTSA, TrackBar2, ABSW,
           RTFF, UPCH, RTFILE, RTBR});
    Chain({SHOWB1, SHOWB2, SEND, EXAL, AUTOSAVE, HIPRI, ALONTOP, PORT1, PORT2, REGRDS, STB1, STB2,
           AUTBSW, WRITEALL});
}

}  // namespace vaxo::ui
