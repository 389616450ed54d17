#pragma once
// One JSON value, read and changed by path, kept in a private JavaScript
// engine ("MSScriptControl.ScriptControl" through the automation layer).
//
// Paths are member expressions relative to the document in the engine's own
// syntax: "text[0].id", "info['f_id']", "[0]", and "" (or left out) for the
// whole document. A path is pasted into script source as it is, so paths come
// from the program, never from the network. Indexes are 0-based.
//
// Inside the engine the document lives in the variable "da". Text values
// stored by SetValue carry U+2400 for each backslash; every text result turns
// it back into a backslash, so such a backslash shows bare (not doubled) in
// JSON results.
//
// The public members follow the class's operation order: Destroy (the
// destructor), Copy, StartEngine, Parse, Clear, ToText, SetValue, AssignJson,
// ResolvePath, TypeOf, GetText, GetKeys, GetCount, GetObject, Append,
// GetElementObject, GetElementText, SetElement, RemoveElement, Delete,
// SetNumber, GetNumber, GetJson, GetEngine.
//
// Failures are empty results: false, "", 0. A document whose engine could not
// start answers every operation with them. COM: a document holds one COM
// initialisation on its thread from construction (or Copy) to destruction,
// however often Parse restarts its engine. A document belongs to its thread.

#include <optional>
#include <vector>

#include "platform/text.h"
#include "script/automation_object.h"

namespace qp::script {

class JsonDocument {
 public:
  // The variable name becomes "da" and an engine starts with an empty object.
  JsonDocument();
  // Destroy: drops this document's reference to the engine (the engine ends
  // with its last reference) and balances the COM init.
  ~JsonDocument();
  JsonDocument(JsonDocument&& other) noexcept;
  JsonDocument& operator=(JsonDocument&&) = delete;
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // A second document on the same engine: changes through either are seen
  // through both until one of them runs Parse.
  JsonDocument Copy() const;

  // Starts a fresh engine holding an empty object.
  void StartEngine();

  // Replaces the document by the value of `json`, in a fresh engine. The text
  // is parsed as JSON, never run as script. Raw line breaks and other control
  // characters inside string values are accepted, as are line breaks between
  // tokens. False when the text is not JSON, its value is null, or it is too
  // big for the engine (kMaxScriptTextSize, or nesting deeper than 1,000, or
  // more values than the engine's memory holds); the document is then null.
  bool Parse(const Text& json);

  // The document becomes an empty object.
  bool Clear();

  // The whole document as JSON text without white space.
  Text ToText();

  // Without asJson: stores `value` as a text at `path`. With asJson: when
  // `path` holds a value, merges the JSON value into it, else assigns it.
  // `value` is script source in that case (program text only). False when the
  // path's parent is missing.
  bool SetValue(const std::optional<Text>& path = std::nullopt,
                const std::optional<Text>& value = std::nullopt,
                std::optional<bool> asJson = std::nullopt);

  // Assigns the value of the script expression `code` (program text only).
  bool AssignJson(const std::optional<Text>& path = std::nullopt,
                  const std::optional<Text>& code = std::nullopt);

  // Rewrites `*path` into the expression rooted at the document variable
  // ("" → "da", "[0]" → "da[0]", "a.b" → "da.a.b"; "da.x" stays when it
  // resolves). True when a non-null value is there.
  bool ResolvePath(Text* path);

  // 0 null or missing, 1 bool, 2 number, 4 object, 5 array, 6 text, -1 other
  // or a missing parent.
  int TypeOf(const std::optional<Text>& path = std::nullopt);

  // A text value ("" for numbers, bools and objects), or with asJson the
  // value's JSON text.
  Text GetText(const std::optional<Text>& path = std::nullopt,
               std::optional<bool> asJson = std::nullopt);

  // Replaces `*names` by the member names of the object at `path` (own and
  // inherited, functions left out, in enumeration order); returns their count.
  // 0 and an empty list for anything but an object.
  int GetKeys(std::vector<Text>* names, const std::optional<Text>& path = std::nullopt);

  // The length of the array at `path`; 0 for anything else.
  int GetCount(const std::optional<Text>& path = std::nullopt);

  // A new document (own engine) holding a copy of the value at `path`.
  JsonDocument GetObject(const std::optional<Text>& path = std::nullopt);

  // Pushes `value` onto the array at `path`, making the path an array first if
  // it holds none. Without asJson the value is pasted between apostrophes as
  // it is, so a value holding an apostrophe fails.
  bool Append(const std::optional<Text>& value = std::nullopt,
              const std::optional<Text>& path = std::nullopt,
              std::optional<bool> asJson = std::nullopt);

  // A new document holding a copy of element `index` of the array at `path`.
  JsonDocument GetElementObject(int index, const std::optional<Text>& path = std::nullopt);

  // As GetText, for element `index` of the array at `path`.
  Text GetElementText(int index, const std::optional<Text>& path = std::nullopt,
                      std::optional<bool> asJson = std::nullopt);

  // Assigns element `index`; the value is pasted as Append pastes it.
  bool SetElement(int index, const std::optional<Text>& path = std::nullopt,
                  const std::optional<Text>& value = std::nullopt,
                  std::optional<bool> asJson = std::nullopt);

  // Removes element `index`, closing the gap.
  bool RemoveElement(int index, const std::optional<Text>& path = std::nullopt);

  // Deletes the member at `path`.
  bool Delete(const std::optional<Text>& path = std::nullopt);

  // Stores a number at `path`.
  bool SetNumber(const std::optional<Text>& path, double number);

  // The value at `path` as a number; 0 when it is none.
  double GetNumber(const std::optional<Text>& path = std::nullopt);

  // The JSON text of the value at `path`.
  Text GetJson(const std::optional<Text>& path = std::nullopt);

  // A further reference to the document's engine (empty if it never started).
  AutomationObject GetEngine() const { return engine_.Copy(); }

 private:
  struct NoEngine {};
  explicit JsonDocument(NoEngine);

  // Evaluates script in the engine; the empty value on any failure.
  Variant Eval(const Text& code);
  bool EvalBool(const Text& code);
  Text EvalText(const Text& code);
  // True when `code` ran to its end.
  bool EvalDone(const Text& code);
  // The resolved path of an optional path argument.
  Text Resolved(const std::optional<Text>& path);
  JsonDocument DocumentOf(const Text& expression);

  bool comHeld_ = false;
  Text name_;
  AutomationObject engine_;
};

}  // namespace qp::script
