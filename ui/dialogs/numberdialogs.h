#pragma once

#include <memory>

#include "ui/dialogs/cnumberdlg.h"

namespace vox {

// The number dialogs that have templates of their own. Each is a CNumberDlg over its template;
// the request names the fields by the template's edit ids.
constexpr int kEvalElementTemplate = 133;
constexpr int kFragElementTemplate = 134;
constexpr int kVoiceIndexTemplate = 135;
constexpr int kFragRangeTemplate = 139;

// Template 133: "Id" (edit 1090) and "Fragment" (edit 1089) of an eval alternative.
class CEvalElementDlg : public CNumberDlg {
    Q_OBJECT
  public:
    static constexpr int kIdControl = 1090;
    static constexpr int kFragmentControl = 1089;
    using CNumberDlg::CNumberDlg;
};

// Template 134: "Voice" (edit 1092) and "Vox Index" (edit 1091) of a fragment's voice entry.
class CFragElementDlg : public CNumberDlg {
    Q_OBJECT
  public:
    static constexpr int kVoiceControl = 1092;
    static constexpr int kVoxIndexControl = 1091;
    using CNumberDlg::CNumberDlg;
};

// Template 135, "Voice Index": the voice of an import (edit 1093).
class CVoiceIndexDlg : public CNumberDlg {
    Q_OBJECT
  public:
    static constexpr int kVoiceControl = 1093;
    using CNumberDlg::CNumberDlg;
};

// Template 139, "Choose a fragment range to save": from (edit 1149) and to (edit 1147). The
// first fragment starts at 0 whatever the caller preset.
class CFragRangeDlg : public CNumberDlg {
    Q_OBJECT
  public:
    static constexpr int kFromControl = 1149;
    static constexpr int kToControl = 1147;
    CFragRangeDlg(const NumberDialogRequest& request, QWidget* parent);
};

// The dialog for a request: the named dialog of its template id, or a generic one.
std::unique_ptr<CNumberDlg> MakeNumberDialog(const NumberDialogRequest& request, QWidget* parent);

}  // namespace vox
