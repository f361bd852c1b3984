// The exports of the event relay's in-process server, libZOZozovuDOvezo.so.
#include "eventctl/ZOZozovuDOvezoModule.h"
#include "platform/com/ServerExports.h"

ZOV_SERVER_EXPORTS(zov::CZOZozovuDOvezoModule::Instance())
