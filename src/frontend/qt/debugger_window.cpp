#include "frontend/qt/debugger_window.h"

#include "debugger/debugger.h"
#include "host/ids.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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
    setFixedSize(dialog_units(0, 0, 364, 262).size());
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
    add_text_edit(DBG_PC_FIELD, 295, 19, 28, 12);
    add_button(DBG_RESET, "Reset", 332, 18, 25, 12);
    add_button(DBG_SET_BP, "SetBP", 251, 34, 25, 12);
    add_label(0, "0x", 284, 37, 10, 9);
    add_text_edit(DBG_BREAKPOINT, 295, 35, 28, 12);
    add_button(DBG_CLR_BP, "ClrBP", 332, 34, 25, 12);
    add_label(0, "Memory            Start:   0x", 5, 50, 93, 8);
    add_text_edit(DBG_MEMORY_START, 94, 48, 27, 12);
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

    // Memory editing, going back, the lists of breakpoints and watchpoints, the trace.
    add_label(0, "Bytes:", 5, 165, 22, 8);
    add_text_edit(DBG_BYTES, 28, 163, 70, 12);
    add_button(DBG_WRITE_MEM, "Write", 100, 163, 28, 12);
    add_label(0, "Find:", 134, 165, 20, 8);
    add_text_edit(DBG_FIND_FIELD, 155, 163, 60, 12);
    add_button(DBG_FIND, "Find", 217, 163, 28, 12);
    add_button(DBG_STEP_BACK, "Step Back", 260, 163, 46, 12);
    add_button(DBG_RUN_BACK, "Run Back", 311, 163, 46, 12);
    add_label(0, "Breakpoints and watchpoints", 5, 179, 110, 8);
    point_list = new QListWidget(this);
    point_list->setGeometry(dialog_units(3, 188, 118, 58));
    point_list->setFont(debug_font());
    add_text_edit(DBG_POINT_FIELD, 124, 188, 70, 12);
    add_button(DBG_ADD_BREAK, "Break", 124, 202, 34, 12);
    add_button(DBG_ADD_WATCH, "Watch", 160, 202, 34, 12);
    add_button(DBG_TOGGLE_POINT, "On/Off", 124, 216, 34, 12);
    add_button(DBG_REMOVE_POINT, "Remove", 160, 216, 34, 12);
    add_button(DBG_LOAD_LABELS, "Labels...", 124, 232, 70, 12);
    add_toggle(DBG_TRACE, "Trace (last 10000 instructions)", 200, 179, 150, 9);
    add_text(DBG_TRACE_TEXT, 198, 188, 164, 58)->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    add_label(DBG_STATUS, "", 5, 250, 355, 9);
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
// An address may be a label's name, so any text goes in.
QLineEdit* DebuggerWindow::add_text_edit(int id, int x, int y, int w, int h)
{
    auto* e = new QLineEdit(this);
    e->setGeometry(dialog_units(x, y, w, h));
    e->setMaxLength(64);
    return edits[id] = e;
}

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
    auto field = [this](int field_id) { return edits[field_id]->text().toStdString(); };
    std::string start = field(DBG_MEMORY_START), pc = field(DBG_PC_FIELD), breakpoint = field(DBG_BREAKPOINT);
    std::string bytes = field(DBG_BYTES), find = field(DBG_FIND_FIELD), point = field(DBG_POINT_FIELD);
    int row = point_list->currentRow();
    messages.push_back([=] {
        dbg.memory_start = start;
        dbg.pc_field = pc;
        dbg.breakpoint = breakpoint;
        dbg.bytes = bytes;
        dbg.find = find;
        dbg.point_field = point;
        dbg.point_index = row;
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
    labels[DBG_STATUS]->setText(text(dbg.status));
    show_points();
    show_marks();
    show_title();
    const std::pair<int, const std::string*> fields[] = {
        {DBG_MEMORY_START, &dbg.memory_start}, {DBG_PC_FIELD, &dbg.pc_field}, {DBG_BREAKPOINT, &dbg.breakpoint}};
    for (auto [id, value] : fields)
        if (!edits[id]->hasFocus())
            edits[id]->setText(text(*value));
    const std::pair<int, const std::string*> blocks[] = {
        {DBG_DUMP, &dbg.dump}, {DBG_LAST, &dbg.last}, {DBG_NEXT, &dbg.next}, {DBG_TRACE_TEXT, &dbg.trace}};
    for (auto [id, value] : blocks) {
        if (shown[id] == *value)
            continue;
        shown[id] = *value;
        texts[id]->setPlainText(text(*value).remove('\r'));
        if (id == DBG_TRACE_TEXT)
            texts[id]->moveCursor(QTextCursor::End);  // the newest instruction in sight
    }
}

// What opened the window follows its name; a processor halted by a JAM says so instead, also in
// a window that was open before.
void DebuggerWindow::show_title()
{
    QString why = dbg.status.empty() ? reason : text(dbg.status);
    setWindowTitle(why.isEmpty() ? " Debugger & CPU Status" : " Debugger & CPU Status - " + why);
}

// The list keeps the line chosen while its lines stay.
void DebuggerWindow::show_points()
{
    if (shown[DBG_POINTS] == dbg.points)
        return;
    shown[DBG_POINTS] = dbg.points;
    int row = point_list->currentRow();
    point_list->clear();
    QString lines = text(dbg.points);
    if (lines.endsWith('\n'))
        lines.chop(1);
    if (!lines.isEmpty())
        point_list->addItems(lines.split('\n'));
    point_list->setCurrentRow(std::min(row, point_list->count() - 1));
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
    toggles[DBG_TRACE]->setChecked(dbg.tracing);
}
