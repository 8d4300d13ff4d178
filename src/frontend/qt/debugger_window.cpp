#include "frontend/qt/debugger_window.h"

#include "debugger/debugger.h"
#include "host/ids.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace {


// The register labels: ids of the hex and the binary field, and the row.
const struct {
    const char* name;
    int hex, bits, y;
} registers[] = {{"A:", 1008, 1015, 5}, {"X:", 1009, 1016, 15}, {"Y:", 1010, 1017, 25}, {"S:", 1011, 1018, 35}};

enum { PC_HEX = 1012, P_HEX = 1013, PC_BITS = 1014, P_BITS = 1019, EFFECTIVE = 1025 };

QString text(const std::string& s) { return QString::fromStdString(s); }

// The platform's fixed-pitch font for the dump and the disassembly, small enough that the
// dump's nine rows fit its box.
QFont debug_font()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(11);
    return f;
}

} // namespace

DebuggerWindow::DebuggerWindow(QWidget* owner, std::deque<std::function<void()>>& messages)
    : QDialog(owner), dialog_units(font()), messages(messages)
{
    setWindowTitle(" Debugger & CPU Status");
    setFixedSize(dialog_units(0, 0, 364, 160).size());
    for (QRect frame : {dialog_units(11, 3, 77, 43), dialog_units(94, 3, 125, 43)}) {
        auto* f = new QFrame(this);
        f->setFrameShape(QFrame::Box);
        f->setGeometry(frame);
    }
    for (const auto& r : registers) {
        add_label(0, r.name, 13, r.y, 12, 8)->setAlignment(Qt::AlignRight);
        add_label(r.hex, "0x00", 27, r.y, 22, 10);
        add_label(r.bits, "00000000", 49, r.y, 36, 10);
    }
    add_label(0, "PC:", 99, 4, 12, 8);
    add_label(PC_HEX, "0x0000", 111, 4, 26, 10);
    add_label(PC_BITS, "00000000 00000000", 139, 4, 76, 10);
    add_label(0, "NV-BDIZC", 139, 14, 36, 8);
    add_label(0, "P:", 99, 24, 8, 8);
    add_label(P_HEX, "0x00", 111, 24, 26, 10);
    add_label(P_BITS, "00000000", 139, 24, 36, 10);
    add_label(0, "Effective Adr:", 99, 35, 47, 9);
    add_label(EFFECTIVE, "0x0000", 146, 35, 41, 10);  // a branch offset shows as eight digits
    add_toggle(DBG_IRQ, " IRQ", 187, 24, 30, 10)->setTristate(true);
    add_toggle(DBG_NMI, " NMI", 187, 35, 30, 10)->setTristate(true);
    add_button(DBG_HARD_RESET, "Hard-Reset", 251, 3, 46, 12);
    add_button(DBG_EDIT_CONFIG, "Edit Config", 311, 3, 46, 12);
    add_button(DBG_SET_PC, "SetPC", 251, 18, 25, 12);
    add_label(0, "0x", 284, 21, 10, 9);
    add_edit(DBG_PC_FIELD, 295, 19, 28, 12);
    add_button(DBG_RESET, "Reset", 332, 18, 25, 12);
    add_button(DBG_SET_BP, "SetBP", 251, 34, 25, 12);
    add_label(0, "0x", 284, 37, 10, 9);
    add_edit(DBG_BREAKPOINT, 295, 35, 28, 12);
    add_button(DBG_CLR_BP, "ClrBP", 332, 34, 25, 12);
    add_label(0, "Memory            Start:   0x", 5, 50, 93, 8);
    add_edit(DBG_MEMORY_START, 94, 48, 27, 12);
    add_toggle(DBG_DISP_MEM, "Disp Mem", 131, 50, 50, 9);
    add_toggle(DBG_DISP_STACK, "Disp Stack", 186, 50, 52, 9);
    add_text(DBG_DUMP, 3, 61, 258, 82);
    add_label(0, "Disassembler", 265, 50, 96, 8);
    add_text(DBG_LAST, 264, 61, 98, 22);
    add_label(DBG_CURRENT, "", 265, 84, 95, 10)->setFont(debug_font());
    add_text(DBG_NEXT, 264, 95, 98, 48);
    add_toggle(DBG_STOP_ON_ERROR, "Stop on Error code", 75, 147, 76, 9);
    add_toggle(DBG_TRACE_INTO, "Trace into subs", 154, 147, 66, 9);
    add_button(DBG_RUN, "Run", 223, 146, 38, 12);
    add_button(DBG_SINGLE_STEP, "Single Step", 273, 146, 44, 12);
    add_button(DBG_CLOSE, "Close", 321, 146, 39, 12);
}

QLabel* DebuggerWindow::add_label(int id, const char* caption, int x, int y, int w, int h)
{
    auto* l = new QLabel(caption, this);
    l->setGeometry(dialog_units(x, y, w, h));
    if (id)
        labels[id] = l;
    return l;
}

QLineEdit* DebuggerWindow::add_edit(int id, int x, int y, int w, int h)
{
    return edits[id] = hex_edit(this, dialog_units(x, y, w, h));
}

// The marks follow the machine's state, set at each refresh, not the click.
QCheckBox* DebuggerWindow::add_toggle(int id, const char* caption, int x, int y, int w, int h)
{
    auto* c = new QCheckBox(caption, this);
    c->setGeometry(dialog_units(x, y, w, h));
    if (id == DBG_IRQ || id == DBG_NMI)
        c->setAttribute(Qt::WA_TransparentForMouseEvents);
    else
        connect(c, &QCheckBox::clicked, [this, id] { click(id); });
    toggles[id] = c;
    return c;
}

QPlainTextEdit* DebuggerWindow::add_text(int id, int x, int y, int w, int h)
{
    auto* t = new QPlainTextEdit(this);
    t->setGeometry(dialog_units(x, y, w, h));
    t->setReadOnly(true);
    t->setLineWrapMode(QPlainTextEdit::NoWrap);
    t->setFont(debug_font());
    t->document()->setDocumentMargin(2);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    texts[id] = t;
    return t;
}

void DebuggerWindow::add_button(int id, const char* caption, int x, int y, int w, int h)
{
    auto* b = new QPushButton(caption, this);
    b->setGeometry(dialog_units(x, y, w, h));
    b->setDefault(id == DBG_SINGLE_STEP);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, [this, id] { click(id); });
}

// The edits' texts go along with the button, as the window would read them when it is pressed.
void DebuggerWindow::click(int id)
{
    std::string start = edits[DBG_MEMORY_START]->text().toStdString();
    std::string pc = edits[DBG_PC_FIELD]->text().toStdString();
    std::string breakpoint = edits[DBG_BREAKPOINT]->text().toStdString();
    messages.push_back([=] {
        dbg.memory_start = start;
        dbg.pc_field = pc;
        dbg.breakpoint = breakpoint;
        debugger_command(id);
    });
    show_marks();  // a toggle keeps its mark until the machine changes it
}

void DebuggerWindow::closeEvent(QCloseEvent* e)
{
    e->ignore();
    click(DBG_CLOSE);
}

void DebuggerWindow::reject() { click(DBG_CLOSE); }

void DebuggerWindow::show_view()
{
    const std::string* hex[] = {&dbg.a, &dbg.x, &dbg.y, &dbg.s};
    const std::string* bits[] = {&dbg.a_bits, &dbg.x_bits, &dbg.y_bits, &dbg.s_bits};
    for (int i = 0; i < 4; i++) {
        labels[registers[i].hex]->setText(text(*hex[i]));
        labels[registers[i].bits]->setText(text(*bits[i]));
    }
    labels[PC_HEX]->setText(text(dbg.pc));
    labels[PC_BITS]->setText(text(dbg.pc_bits));
    labels[P_HEX]->setText(text(dbg.p));
    labels[P_BITS]->setText(text(dbg.p_bits));
    labels[EFFECTIVE]->setText(text(dbg.effective));
    labels[DBG_CURRENT]->setText(text(dbg.current));
    show_marks();
    show_title();
    const std::pair<int, const std::string*> fields[] = {
        {DBG_MEMORY_START, &dbg.memory_start}, {DBG_PC_FIELD, &dbg.pc_field}, {DBG_BREAKPOINT, &dbg.breakpoint}};
    for (auto [id, value] : fields)
        if (!edits[id]->hasFocus())
            edits[id]->setText(text(*value));
    const std::pair<int, const std::string*> blocks[] = {{DBG_DUMP, &dbg.dump}, {DBG_LAST, &dbg.last}, {DBG_NEXT, &dbg.next}};
    for (auto [id, value] : blocks) {
        if (shown[id] == *value)
            continue;
        shown[id] = *value;
        texts[id]->setPlainText(text(*value).remove('\r'));
    }
}

// What opened the window follows its name; a processor halted by a JAM says so instead, also in
// a window that was open before.
void DebuggerWindow::show_title()
{
    QString why = dbg.status.empty() ? reason : text(dbg.status);
    setWindowTitle(why.isEmpty() ? " Debugger & CPU Status" : " Debugger & CPU Status - " + why);
}

void DebuggerWindow::show_marks()
{
    const Qt::CheckState states[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    toggles[DBG_IRQ]->setCheckState(states[dbg.irq]);
    toggles[DBG_NMI]->setCheckState(states[dbg.nmi]);
    toggles[DBG_DISP_MEM]->setChecked(dbg.disp_mem);
    toggles[DBG_DISP_STACK]->setChecked(!dbg.disp_mem);
    toggles[DBG_STOP_ON_ERROR]->setChecked(dbg.stop_on_error);
    toggles[DBG_TRACE_INTO]->setChecked(dbg.trace_into);
}
