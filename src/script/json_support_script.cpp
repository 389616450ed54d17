#include "script/json_support_script.h"

namespace qp::script {

const char kJsonSupportScript[] = R"js(
function get__count(c) {
  return Object.prototype.toString.call(c) === '[object Array]' ? c.length : 0;
}

function get__name_All(a) {
  if (Object.prototype.toString.call(a) !== '[object Object]') return '';
  var names = [], k;
  for (k in a) {
    if (typeof a[k] !== 'function') names.push(k);
  }
  return names.join('\r\n');
}

// A member that is an object on both sides is merged; any other member of
// source replaces target's (a number or null too, which must not stop the
// merge half-way); target's functions are left alone.
function get__extend(target, source) {
  var k, i, t, s;
  if (Object.prototype.toString.call(target) === '[object Array]') {
    for (i = 0; i < source.length; i++) target.push(source[i]);
    return target;
  }
  for (k in source) {
    t = target[k];
    s = source[k];
    if (typeof t === 'function') continue;
    if (t !== null && typeof t === 'object' && s !== null && typeof s === 'object')
      target[k] = get__extend(t, s);
    else
      target[k] = s;
  }
  return target;
}

function set__parsed(name, text) {
  var global = (function () { return this; })();
  global[name] = JSON.parse(text);
  return global[name] != null;
}

(function () {
  function hidden(name, value) {
    Object.defineProperty(Object.prototype, name,
        { value: value, writable: true, configurable: true, enumerable: false });
  }
  hidden('toJSONString', function () { return JSON.stringify(this); });
  hidden('parseJSON', function (filter) { return JSON.parse(this, filter); });
})();
)js";

}  // namespace qp::script
