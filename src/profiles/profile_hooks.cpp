#include "app/main_controller.h"

namespace cvk {

// The profile list arrives with the profile store; until then a read matches
// nothing and a write saves nothing.
void CMainController::loadProfiles() {}
bool CMainController::matchProfile() { return false; }
void CMainController::saveProfiles() { editFlag = false; }

}  // namespace cvk
