// The exports of the viewer's in-process server, libZOVuvazaR.so.
#include "control/ZOVuvazaRServer.h"
#include "platform/com/ServerExports.h"

ZOV_SERVER_EXPORTS(zov::CZOVuvazaRApp::Instance())
