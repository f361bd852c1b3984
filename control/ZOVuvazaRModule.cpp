// The exports of the viewer's in-process server, libZOVuvazaR.so.
#include "control/ZOVuvazaRCtrl.h"

extern "C" {

// The container may unload the server once no control of it is alive.
__attribute__((visibility("default"))) zov::HRESULT DllCanUnloadNow() {
    return zov::CZOVuvazaRCtrl::LiveCount() == 0 ? zov::S_OK : zov::S_FALSE;
}

}
