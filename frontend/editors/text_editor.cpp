#include "frontend/editors/text_editor.h"

#include "common/package_layout.h"
#include "common/paths.h"
#include "frontend/session/refusals.h"

bool OpenInTextEditor(SideFile file, const std::string& musicPath, CWnd& owner) {
    const bool description = file == SideFile::Description;
    if (musicPath.empty()) {
        owner.MessageBox(description ? kChooseSoundFileFirst : kChooseMusicFileFirst, kErrorBeforeConversion, MB_OK);
        return false;
    }
    const std::string name = description ? kDescriptionName : kConfigName;
    (void)framework::StartTextEditor("\"" + SiblingPath(musicPath, name) + "\"");
    return true;
}
