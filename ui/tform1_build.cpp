// The window's controls: names, captions, limits, items, defaults, places.
#include <QFrame>
#include <QPalette>

#include "base/product.h"
#include "record/field_schema.h"
#include "record/programme_types.h"
#include "ui/built_in_pictures.h"
#include "ui/hover_tab_style.h"
#include "ui/tform1.h"
#include "ui/widget_factory.h"

namespace vaxo::ui {
namespace {

// The longest text the field holds.
int Limit(FieldId field) {
    return static_cast<int>(Field(field).type.limit);
}

constexpr int kClientWidth = 521;
constexpr int kClientHeight = 303;
constexpr int kPageAreaHeight = 265;
constexpr int kStripHeight = 38;

QWidget* MakePage(QTabWidget* tabs, const char* name, const QString& caption) {
    auto* page = new QWidget;
    page->setObjectName(name);
    tabs->addTab(page, caption);
    MarkTranslatable(page);
    return page;
}

template <typename... Widgets>
void Translatable(Widgets*... widgets) {
    (MarkTranslatable(widgets), ...);
}

// A box on the light yellow of the highlighted fields: its text is dark
// whatever the desktop's palette, so that it reads in dark themes too.
void Highlight(QWidget* box) {
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, QColor(255, 255, 225));
    colours.setColor(QPalette::Text, Qt::black);
    box->setPalette(colours);
}

void Named(QWidget* widget, const QString& name) {
    widget->setAccessibleName(name);
}

void Chain(std::initializer_list<QWidget*> order) {
    for (auto it = order.begin(); it + 1 != order.end(); ++it) {
        QWidget::setTabOrder(*it, *(it + 1));
    }
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
    setFixedSize(kClientWidth, kClientHeight);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    Zalozky = new QTabWidget(this);
    Zalozky->setObjectName("Zalozky");
    Zalozky->setGeometry(0, 0, kClientWidth, kPageAreaHeight);
    Zalozky->tabBar()->setAttribute(Qt::WA_Hover);
    auto* hover = new HoverTabStyle;
    hover->setParent(Zalozky);
    Zalozky->tabBar()->setStyle(hover);
    General = MakePage(Zalozky, "General", "General");
    DynamicPS = MakePage(Zalozky, "DynamicPS", "Dynamic PS");
    Radiotext = MakePage(Zalozky, "Radiotext", "Radiotext");
    Settings = MakePage(Zalozky, "Settings", "Settings");
    Help = MakePage(Zalozky, "Help", "Help");
    // What the listener gets, after the five pages of what the operator types.
    OnAir = new OnAirPage;
    OnAir->setObjectName("OnAir");
    Zalozky->addTab(OnAir, "On air");
    MarkTranslatable(OnAir);
    BuildBottomStrip();
    BuildGeneralPage();
    BuildDynamicPsPage();
    BuildRadiotextPage();
    BuildSettingsPage();
    BuildHelpPage();
    SetTabOrders();
    // The program made its two timers through the window's loop.
    Timer1 = findChild<QTimer*>("Timer1");
    Timer2 = findChild<QTimer*>("Timer2");
}

void TForm1::BuildBottomStrip() {
    const int top = kPageAreaHeight;
    SKIN = MakeLabel(this, "SKIN", QString(), QRect(0, top, kClientWidth, kStripHeight));
    SKIN->setScaledContents(true);
    SKIN->setPixmap(BuiltInStrip(QSize(522, kStripHeight)));
    EX = MakeButton(this, "EX", "E&xit", QRect(6, top + 6, 66, 26));
    LOAD = MakeButton(this, "LOAD", "&Load", QRect(74, top + 6, 62, 26));
    SAVE = MakeButton(this, "SAVE", "&Save", QRect(138, top + 6, 72, 26));
    SAAS = MakeButton(this, "SAAS", "Save &As", QRect(212, top + 6, 104, 26));
    UP = MakeButton(this, "UP", "Sen&d", QRect(320, top + 6, 70, 26));
    QFont bold = UP->font();
    bold.setBold(true);
    UP->setFont(bold);
    UP->setCursor(Qt::PointingHandCursor);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(396, top + 10, 118, 18);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Label11 = MakeLabel(this, "Label11", "Error", ProgressBar1->geometry());
    Label11->setAlignment(Qt::AlignCenter);
    Label11->setAutoFillBackground(true);
    QPalette errorColours = Label11->palette();
    errorColours.setColor(QPalette::Window, Qt::black);
    errorColours.setColor(QPalette::WindowText, Qt::white);
    Label11->setPalette(errorColours);
    Label11->hide();
    Translatable(Label11, UP, EX, LOAD, SAVE, SAAS);
}

void TForm1::BuildGeneralPage() {
    auto* band = MakePanel(General, "Band", QRect(0, 0, 515, 86), false);
    band->setAutoFillBackground(true);
    QPalette light = band->palette();
    light.setColor(QPalette::Window, QColor(246, 248, 252));
    light.setColor(QPalette::WindowText, Qt::black);
    band->setPalette(light);
    GNID = MakeGroup(band, "GNID", "Identification", QRect(6, 3, 220, 78));
    Label2 = MakeLabel(GNID, "Label2", "Default PS", QRect(10, 20, 100, 16));
    PS = MakeTextBox(GNID, "PS", QRect(10, 38, 104, 24), Limit(FieldId::PS));
    PS->setText("FM RADIO");
    Highlight(PS);
    Label7 = MakeLabel(GNID, "Label7", "PI", QRect(126, 20, 60, 16));
    Label7->setToolTip("Program Identification");
    PI = MakeTextBox(GNID, "PI", QRect(126, 38, 62, 24), Limit(FieldId::PI), true);
    PI->setText("FFFF");
    Panel3 = MakePanel(band, "Panel3", QRect(230, 8, 279, 71), true);
    LOGO = MakeLabel(Panel3, "LOGO", QString(), QRect(0, 0, 279, 71));
    LOGO->setScaledContents(true);
    LOGO->setPixmap(BuiltInLogo(QSize(279, 71)));

    GNPR = MakeGroup(General, "GNPR", "Program", QRect(6, 88, 196, 90));
    Label1 = MakeLabel(GNPR, "Label1", "Program Type", QRect(8, 18, 100, 16));
    QStringList types;
    for (auto name : kProgrammeTypeNames) {
        types << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    PTY = MakePickList(GNPR, "PTY", types, QRect(8, 36, 104, 24));
    Label4 = MakeLabel(GNPR, "Label4", "M/S", QRect(118, 18, 60, 16));
    Label4->setToolTip("Music/Speech");
    MS = MakePickList(GNPR, "MS", {"Speech", "Music"}, QRect(118, 36, 70, 24));
    MS->setCurrentIndex(1);

    GNTS = MakeGroup(General, "GNTS", "Traffic settings", QRect(206, 88, 110, 90));
    Label5 = MakeLabel(GNTS, "Label5", "TP", QRect(8, 18, 40, 16));
    Label5->setToolTip("Traffic Program");
    TP = MakePickList(GNTS, "TP", {"0", "1"}, QRect(8, 36, 44, 24));
    TP->setCurrentIndex(1);
    Label6 = MakeLabel(GNTS, "Label6", "TA", QRect(58, 18, 40, 16));
    Label6->setToolTip("Traffic Announcement");
    TA = MakePickList(GNTS, "TA", {"0", "1"}, QRect(58, 36, 44, 24));

    GNDI = MakeGroup(General, "GNDI", "Decoder Identification", QRect(320, 88, 189, 90));
    DI = new QListWidget(GNDI);
    DI->setObjectName("DI");
    DI->setGeometry(6, 19, 178, 68);
    DI->setFrameShape(QFrame::NoFrame);
    DI->setAutoFillBackground(false);
    DI->viewport()->setAutoFillBackground(false);
    DI->setSpacing(0);
    for (auto name : kDecoderIdNames) {
        auto* item = new QListWidgetItem(
            QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())), DI);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(170, 17));
    }

    GNAF = MakeGroup(General, "GNAF", "Alternative Frequencies", QRect(6, 180, 503, 52));
    for (std::size_t i = 0; i < AF.size(); ++i) {
        const std::string name = "AF" + std::to_string(i + 1);
        AF[i] = MakeTextBox(GNAF, name.c_str(), QRect(8 + static_cast<int>(i) * 62, 20, 56, 24),
                            Limit(AfField(i)));
        Named(AF[i], QString("Alternative frequency %1").arg(i + 1));
    }
    MakeLabel(GNAF, "Label3", "MHz", QRect(444, 24, 50, 16));
    Translatable(GNID, Label2, Label7, GNPR, Label1, Label4, GNTS, Label5, Label6, GNDI, GNAF);
    for (auto [label, box] : {std::pair<QLabel*, QWidget*>{Label2, PS},
                              {Label7, PI},
                              {Label1, PTY},
                              {Label4, MS},
                              {Label5, TP},
                              {Label6, TA}}) {
        label->setBuddy(box);
    }
    Named(PS, "Default PS");
    Named(PI, "PI");
    Named(PTY, "Program Type");
    Named(MS, "M/S");
    Named(TP, "TP");
    Named(TA, "TA");
    Named(DI, "Decoder Identification");
}

void TForm1::BuildDynamicPsPage() {
    DPST = MakeGroup(DynamicPS, "DPST", "Dynamic PS text", QRect(6, 4, 244, 130));
    for (std::size_t k = 0; k < DPS.size(); ++k) {
        const int column = k < 4 ? 0 : 1;
        const int row = static_cast<int>(k % 4);
        const std::string number = std::to_string(k + 1);
        QLabel* label =
            MakeLabel(DPST, ("LabelDps" + number).c_str(), QString::fromStdString(number + ":"),
                      QRect(10 + column * 118, 24 + row * 26, 16, 18));
        DPS[k] = MakeTextBox(DPST, ("DPS" + number).c_str(),
                             QRect(28 + column * 118, 21 + row * 26, 86, 24), Limit(DpsField(k)));
        label->setBuddy(DPS[k]);
        Named(DPS[k], QString("Dynamic PS %1").arg(k + 1));
    }
    DPRA = MakeGroup(DynamicPS, "DPRA", "Repeat after", QRect(6, 138, 244, 94));
    TrackBar1 = MakeSlider(DPRA, "TrackBar1", Field(FieldId::DPSP).type, QRect(8, 28, 176, 32));
    TrackBar1->setValue(13);
    Named(TrackBar1, "Repeat after");
    DPSP = MakeLabel(DPRA, "DPSP", "39 s", QRect(186, 34, 50, 18));
    DPSP->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    DPOP = MakeGroup(DynamicPS, "DPOP", "Options", QRect(256, 4, 253, 228));
    ENDPS = MakeTickBox(DPOP, "ENDPS", "Enable dynamic PS", QRect(10, 20, 200, 20));
    Panel1 = MakePanel(DPOP, "Panel1", QRect(8, 46, 237, 174), true);
    PSFF = MakeTickBox(Panel1, "PSFF", "From file:", QRect(8, 8, 200, 20));
    PSFILE = MakeFileNameBox(Panel1, "PSFILE", QRect(8, 32, 188, 24));
    PSFILE->setText("dps.txt");
    Named(PSFILE, "Dynamic PS file");
    DPBR = MakeButton(Panel1, "DPBR", "...", QRect(200, 32, 28, 24));
    UPCHPS = MakeTickBox(Panel1, "UPCHPS", "Send on change", QRect(8, 66, 200, 20));
    UPCHPS->setChecked(true);
    DPSA = MakeTickBox(Panel1, "DPSA", "Smart alignment", QRect(8, 92, 200, 20));
    DPSA->setChecked(true);
    DPSC = MakeTickBox(Panel1, "DPSC", "Effects with:", QRect(26, 120, 110, 20));
    EFCHAR = MakeTextBox(Panel1, "EFCHAR", QRect(140, 118, 28, 24), Limit(FieldId::EFCHAR));
    EFCHAR->setText("*");
    Named(EFCHAR, "Effect character");
    Translatable(DPST, DPRA, DPOP, ENDPS, PSFF, UPCHPS, DPSA, DPSC);
}

void TForm1::BuildRadiotextPage() {
    static const char* const kNames[] = {"RT", "RT2", "RT3", "RT4"};
    for (std::size_t i = 0; i < RTs.size(); ++i) {
        const int y = 6 + static_cast<int>(i) * 27;
        const std::string choice = "SRT" + std::to_string(i + 1);
        SRT[i] = MakeChoice(Radiotext, choice.c_str(), QString(), QRect(8, y + 3, 20, 20));
        RTs[i] = MakeTextBox(Radiotext, kNames[i], QRect(30, y, 479, 24),
                             Limit(RadiotextField(static_cast<int>(i) + 1)));
        Named(RTs[i], QString("Radiotext %1").arg(i + 1));
        Named(SRT[i], QString("Current radiotext %1").arg(i + 1));
    }
    SRT[0]->setChecked(true);
    Highlight(RTs[0]);

    RTOP = MakeGroup(Radiotext, "RTOP", "Options", QRect(6, 114, 503, 118));
    RTSA = MakeTickBox(RTOP, "RTSA", "Switch after:", QRect(10, 20, 200, 20));
    TrackBar2 = MakeSlider(RTOP, "TrackBar2", Field(FieldId::RTSAT).type, QRect(10, 42, 196, 32));
    TrackBar2->setValue(5);
    Named(TrackBar2, "Switch after");
    RTST = MakeLabel(RTOP, "RTST", "5 min", QRect(126, 74, 80, 16));
    RTST->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ABSW = MakeTickBox(RTOP, "ABSW", "Use A/B", QRect(10, 92, 200, 20));
    Panel2 = MakePanel(RTOP, "Panel2", QRect(220, 18, 275, 92), true);
    RTFF = MakeTickBox(Panel2, "RTFF", "From file:", QRect(8, 8, 100, 20));
    UPCH = MakeTickBox(Panel2, "UPCH", "Send on change", QRect(110, 8, 160, 20));
    UPCH->setChecked(true);
    RTFILE = MakeFileNameBox(Panel2, "RTFILE", QRect(8, 40, 226, 24));
    RTFILE->setText("rt.txt");
    Named(RTFILE, "Radiotext file");
    RTBR = MakeButton(Panel2, "RTBR", "...", QRect(238, 40, 28, 24));
    Translatable(RTOP, RTSA, ABSW, RTFF, UPCH);
}

void TForm1::BuildSettingsPage() {
    Membanks = MakeGroup(Settings, "Membanks", "Memory banks", QRect(6, 4, 300, 84));
    STB1 = MakeChoice(Membanks, "STB1", "Send to bank 1", QRect(10, 20, 140, 20));
    STB1->setChecked(true);
    STB2 = MakeChoice(Membanks, "STB2", "Send to bank 2", QRect(150, 20, 140, 20));
    AUTBSW = MakeTickBox(Membanks, "AUTBSW", "RDS Encoder uses both memory banks in loop",
                         QRect(10, 42, 286, 20));
    WRITEALL = MakeTickBox(Membanks, "WRITEALL", "Write every page, not only the changed ones",
                           QRect(10, 62, 286, 20));

    LastSentBox = MakeGroup(Settings, "LastSentBox", "Last sent", QRect(6, 92, 300, 140));
    SHOWB1 = MakeChoice(LastSentBox, "SHOWB1", "To bank 1", QRect(10, 18, 120, 20));
    SHOWB1->setChecked(true);
    SHOWB2 = MakeChoice(LastSentBox, "SHOWB2", "To bank 2", QRect(150, 18, 120, 20));
    SENT = new QPlainTextEdit(LastSentBox);
    SENT->setObjectName("SENT");
    SENT->setGeometry(8, 42, 284, 92);
    SENT->setReadOnly(true);
    SENT->setFocusPolicy(Qt::NoFocus);
    SENT->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SENT->setLineWrapMode(QPlainTextEdit::NoWrap);
    Named(SENT, "Last sent");

    STOP = MakeGroup(Settings, "STOP", "Options", QRect(312, 4, 197, 228));
    SEND = MakeTickBox(STOP, "SEND", "Send after Load", QRect(10, 20, 180, 20));
    EXAL = MakeTickBox(STOP, "EXAL", "Exit after Send", QRect(10, 40, 180, 20));
    AUTOSAVE = MakeTickBox(STOP, "AUTOSAVE", "Auto Save", QRect(10, 60, 180, 20));
    HIPRI = MakeTickBox(STOP, "HIPRI", "High priority", QRect(10, 80, 180, 20));
    ALONTOP = MakeTickBox(STOP, "ALONTOP", "Always on top", QRect(10, 100, 180, 20));
    PORT = MakeGroup(STOP, "PORT", "Port", QRect(8, 122, 181, 62));
    PORT1 = MakeChoice(PORT, "PORT1", "LPT1 (0x378)", QRect(10, 18, 160, 20));
    PORT1->setChecked(true);
    PORT2 = MakeChoice(PORT, "PORT2", "LPT2 (0x278)", QRect(10, 38, 160, 20));
    PORTINFO = MakeLabel(STOP, "PORTINFO", QString(), QRect(10, 184, 179, 14));
    REGRDS = MakeButton(STOP, "REGRDS", "Make *.rds executable", QRect(8, 200, 181, 24));
    Translatable(Membanks, STB1, STB2, AUTBSW, WRITEALL, LastSentBox, SHOWB1, SHOWB2, STOP, SEND,
                 EXAL, AUTOSAVE, HIPRI, ALONTOP, PORT, REGRDS);
}

void TForm1::BuildHelpPage() {
    HelpBox = new QTextBrowser(Help);
    HelpBox->setObjectName("HelpBox");
    HelpBox->setGeometry(4, 4, 300, 228);
    HelpBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Highlight(HelpBox);
    Named(HelpBox, "Help");
    HelpBox->setPlainText("(help file vaxohelp.rtf is missing)");

    ABOUT = MakeGroup(Help, "ABOUT", "About", QRect(310, 2, 199, 230));
    auto* title = MakeLabel(ABOUT, "AboutTitle", kProductShortName, QRect(8, 18, 185, 22));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(titleFont.pixelSize() * 14 / 10);
    title->setFont(titleFont);
    auto* version = MakeLabel(ABOUT, "AboutVersion", QString("Version ") + kProductVersion,
                              QRect(8, 42, 185, 16));
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    auto* frame = MakePanel(ABOUT, "Image3Frame", QRect(8, 64, 108, 46), true);
    Image3 = MakeLabel(frame, "Image3", QString(), QRect(2, 2, 104, 42));
    Image3->setScaledContents(true);
    Image3->setPixmap(BuiltInAboutPicture(QSize(104, 42)));
    MakeLabel(ABOUT, "AboutLine", "RDS Encoder Solution", QRect(8, 118, 185, 16));
    auto* credit = MakeLabel(ABOUT, "AboutCredit",
                             "Written for the radio engineers and operators who keep "
                             "RDS on air, day and night.",
                             QRect(8, 138, 185, 50));
    credit->setWordWrap(true);
    credit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label8 = MakeLabel(ABOUT, "Label8", "<a href=\"manual.html\">Operator's manual</a>",
                       QRect(8, 196, 185, 18));
    Label8->setTextFormat(Qt::RichText);
    Label8->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    Label8->setFocusPolicy(Qt::StrongFocus);
    Label8->setCursor(Qt::PointingHandCursor);
    Translatable(ABOUT);
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
