#include "frontend/commands.h"

#include "cpu/loop.h"
#include "debugger/debugger.h"
#include "host/host.h"
#include "machine/tape.h"
#include "machine/video.h"

void menu_command(int id)
{
    switch (id) {
    case 101: Abort = 0; break;
    case 103: FileMenue(""); break;
    case 105: FileSaveMenue(); break;
    case 108: Reset(); break;
    case 109:
        SEnable = 1;
        SMode = 0;
        Open_Processor("Debugger");
        break;
    case 112:
        IEnable = 1 - IEnable;
        host->check_menu(112, IEnable);
        break;
    case 119: ToggleGraphik(); break;
    case 122:
        DEnable = 1 - DEnable;
        host->check_menu(122, DEnable);
        break;
    case 124: CloseSavedFiles(); break;
    default: break;
    }
}
