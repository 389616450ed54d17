// What reading one service answer costs: a JsonDocument built, the answer
// parsed and one text read, as the upload and the share-link lookup do; and
// UnescapeText of the same answer with its escapes. Beside them, the bare
// engine doing the same parse in one heap, as the floor the layers stand on.

#include <benchmark/benchmark.h>
#include <duktape.h>

#include <string>

#include "platform/com.h"
#include "script/escape.h"
#include "script/json_document.h"

namespace {

// About 1 KB, shaped like the upload answer: status, an escaped message and
// the file's record.
std::string Answer(bool escaped) {
  const std::string message = escaped ? "\\u4e0a\\u4f20\\u6210\\u529f" : "上传成功";
  std::string answer =
      R"({"zt":1,"info":")" + message + R"(","text":[{"icon":"txt","id":"123456789",)";
  answer += R"("f_id":"iAbCdEf0123","name_all":"report-2024.txt","name":"report-2024.txt",)";
  answer +=
      R"("size":"1.0 K","time":"0 秒前","downs":"0","onof":"0","is_newd":"https://example.com",)";
  answer += R"("description":")";
  while (answer.size() < 1000)
    answer += escaped ? "\\u6587\\u4ef6 " : "文件 ";
  answer += R"("}]})";
  return answer;
}

void JsonDocumentParseGetText(benchmark::State& state) {
  qp::com::ScopedInitialize com;
  const std::string answer = Answer(false);
  for (auto _ : state) {
    qp::script::JsonDocument document;
    document.Parse(answer);
    benchmark::DoNotOptimize(document.GetText("text[0].id"));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(answer.size()));
}
BENCHMARK(JsonDocumentParseGetText)->Unit(benchmark::kMicrosecond);

void UnescapeText(benchmark::State& state) {
  const std::string answer = Answer(true);
  for (auto _ : state)
    benchmark::DoNotOptimize(qp::script::UnescapeText(answer));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(answer.size()));
}
BENCHMARK(UnescapeText)->Unit(benchmark::kMicrosecond);

// The floor: one plain heap, JSON.parse, one member read.
void BareEngineParseGetText(benchmark::State& state) {
  const std::string answer = Answer(false);
  for (auto _ : state) {
    duk_context* ctx = duk_create_heap_default();
    duk_push_lstring(ctx, answer.data(), answer.size());
    duk_json_decode(ctx, -1);
    duk_get_prop_string(ctx, -1, "text");
    duk_get_prop_index(ctx, -1, 0);
    duk_get_prop_string(ctx, -1, "id");
    benchmark::DoNotOptimize(std::string(duk_safe_to_string(ctx, -1)));
    duk_destroy_heap(ctx);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(answer.size()));
}
BENCHMARK(BareEngineParseGetText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
