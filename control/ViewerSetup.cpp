#include "control/ViewerSetup.h"

#include "control/ZOVuvazaRCtrl.h"
#include "viewer/ZAZViewer.h"

namespace zov {

ZAZViewer* SetUpViewer(CZOVuvazaRCtrl& control) {
    control.CreateViewer([](CZOVuvazaRCtrl& owner) { return std::make_unique<ZAZViewer>(&owner); });
    return dynamic_cast<ZAZViewer*>(control.Viewer());
}

}  // namespace zov
