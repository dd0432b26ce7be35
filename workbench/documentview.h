#pragma once

namespace vox {

// A view of the document: told to refresh itself whenever the document changes.
class DocumentView {
  public:
    virtual ~DocumentView() = default;
    virtual void OnUpdate() = 0;
};

}  // namespace vox
