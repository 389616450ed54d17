#include "script/classes.h"

namespace qp::script {

std::shared_ptr<Dispatch> CreateInProcessClass(std::string_view progId) {
  static const struct {
    const char* progId;
    const char* clsid;
    std::shared_ptr<Dispatch> (*create)();
  } classes[] = {
      {"VBScript.RegExp", "{3F4DACA4-160D-11D2-A8E9-00104B365C9F}", &CreateRegExp},
      {"MSScriptControl.ScriptControl", "{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}",
       &CreateScriptControl},
      {"ScriptControl", nullptr, &CreateScriptControl},
      {"Adodb.Stream", "{00000566-0000-0010-8000-00AA006D2EA4}", &CreateStream},
  };
  for (const auto& c : classes) {
    if (SameName(progId, c.progId) || (c.clsid && SameName(progId, c.clsid)))
      return c.create();
  }
  return nullptr;
}

}  // namespace qp::script
