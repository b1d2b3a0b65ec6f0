// SPDX-License-Identifier: MIT
#include "devservice/modernpage.h"

#include "devservice/pages.h"

namespace Pages {

namespace {

struct Check
{
    const char *id;
    const char *label;
    const char *what;
};

// The ids are the module's names for its checks.
const Check Checks[] = {
    {"module", "ES 模块", "script type=module 导入 /static/modern.mjs"},
    {"optionalChaining", "可选链 ?.", "a?.b?.c 与缺失的属性"},
    {"nullish", "空值合并 ??", "0 ?? 5 与 null ?? 5"},
    {"classFields", "类字段", "class { count = 0; increment = () => … }"},
    {"asyncAwait", "async/await", "等待一个 Promise"},
    {"fetch", "fetch()", "读取 /orvane/modern/data 的 JSON"},
    {"grid", "CSS 网格", "display: grid 与 gap"},
    {"storage", "localStorage", "写入并读回一个值"},
    {"proxy", "Proxy 响应式", "reactive() 与 effect()"},
};

// Band colours: #7f8c8d while waiting, #1e9e5a all passed, #c0392b the engine failed.
const char Head[] = R"html(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>现代网页 - 智慧校园公共云平台</title>
<style>
body { margin: 0; background: #f0f4fa; color: #333; font-size: 14px;
       font-family: "Microsoft YaHei", "微软雅黑", "Noto Sans CJK SC", sans-serif; }
#band { background: #7f8c8d; color: #fff; text-align: center; padding: 18px 12px;
        font-size: 24px; font-weight: bold; }
#band small { display: block; margin-top: 6px; font-size: 14px; font-weight: normal; }
.card { background: #fff; border: 1px solid #dde5f0; border-radius: 6px; margin: 20px 24px;
        padding: 16px 20px; }
.card h2 { margin: 0 0 12px; font-size: 16px; color: #1e6fd9; }
#checks { display: grid; grid-template-columns: 160px 1fr 90px; gap: 10px 16px;
          overflow: hidden; }
/* Without grid, floats keep the rows; grid items ignore float. */
#checks > div { float: left; width: 20%; margin-bottom: 10px; }
#checks > div:nth-child(3n+2) { width: 60%; }
#checks .head { color: #888; }
.pending { color: #888; }
.passed { color: #0f9d58; }
.failed { color: #d93025; }
</style>
</head>
<body>
<div id="band" data-state="waiting">正在检查…</div>
<div class="card"><h2>现代网页特性检查</h2>
<div id="checks">
<div class="head">特性</div><div class="head">检查内容</div><div class="head">结果</div>
)html";

// ES5 only, so that an engine without modules still runs it and says so.
const char Watchdog[] = R"js(<script>
(function () {
    var names = [], labels = {}, results = {}, done = false, timedOut = false;
    var rows = document.querySelectorAll('#checks [data-check]');
    for (var i = 0; i < rows.length; ++i) {
        var name = rows[i].getAttribute('data-check');
        names.push(name);
        labels[name] = rows[i].getAttribute('data-label');
    }
    function paint() {
        var band = document.getElementById('band');
        var missing = [], failed = [];
        for (var i = 0; i < names.length; ++i) {
            if (!(names[i] in results))
                missing.push(labels[names[i]]);
            else if (!results[names[i]])
                failed.push(labels[names[i]]);
        }
        if (done && missing.length === 0 && failed.length === 0) {
            band.style.background = '#1e9e5a';
            band.setAttribute('data-state', 'passed');
            band.innerHTML = '全部通过';
            return;
        }
        if (!done && !timedOut)
            return;
        var lines = [];
        if (missing.length)
            lines.push('未运行：' + missing.join('、'));
        if (failed.length)
            lines.push('未通过：' + failed.join('、'));
        band.style.background = '#c0392b';
        band.setAttribute('data-state', 'failed');
        band.innerHTML = '此内核无法运行现代网页<small></small>';
        band.getElementsByTagName('small')[0].appendChild(
            document.createTextNode(lines.join('；')));
    }
    // The module reports here; a late report still corrects the band.
    window.orvaneModern = {
        result: function (name, ok, detail) {
            results[name] = !!ok;
            var cell = document.getElementById('result-' + name);
            if (cell) {
                cell.className = ok ? 'passed' : 'failed';
                cell.innerHTML = '';
                cell.appendChild(document.createTextNode(
                    (ok ? '通过' : '未通过') + (detail ? '（' + detail + '）' : '')));
            }
        },
        done: function () {
            done = true;
            paint();
        }
    };
    setTimeout(function () {
        timedOut = true;
        paint();
    }, 3000);
})();
</script>
)js";

const char Module[] = R"js(<script type="module">
import { reactive, effect, Counter } from '/static/modern.mjs';

const checks = {
    module: () => typeof reactive === 'function' && typeof effect === 'function',
    optionalChaining: () => {
        const school = { grade: { name: '初二' } };
        return school?.grade?.name === '初二' && school?.club?.name === undefined;
    },
    nullish: () => (0 ?? 5) === 0 && (null ?? 5) === 5 && (undefined ?? '') === '',
    classFields: () => {
        const counter = new Counter();
        counter.increment();
        counter.increment();
        return counter.count === 2;
    },
    asyncAwait: async () => {
        const value = await new Promise((resolve) => setTimeout(() => resolve(42), 10));
        return value === 42;
    },
    fetch: async () => {
        const reply = await fetch('/orvane/modern/data');
        const data = await reply.json();
        return data?.status === 1 && data?.result?.school === '演示学校';
    },
    grid: () => {
        const style = getComputedStyle(document.getElementById('checks'));
        return style.display === 'grid' && parseFloat(style.getPropertyValue('column-gap')) === 16;
    },
    storage: () => {
        const value = `orvane-${Date.now()}`;
        localStorage.setItem('orvaneModernCheck', value);
        return localStorage.getItem('orvaneModernCheck') === value;
    },
    proxy: () => {
        const store = reactive({ count: 1 });
        let seen = 0;
        effect(() => { seen = store.count * 10; });
        store.count = 4;
        return seen === 40;
    },
};

async function run() {
    for (const [name, check] of Object.entries(checks)) {
        try {
            window.orvaneModern.result(name, await check());
        } catch (error) {
            window.orvaneModern.result(name, false, error?.message ?? String(error));
        }
    }
    window.orvaneModern.done();
}
run();
</script>
)js";

const char ModuleFile[] =
    R"js(// A reactive store in the manner of Vue 3, in miniature: an effect reruns when a property
// it read changes.
let activeEffect = null;
const dependencies = new WeakMap();

function track(target, key) {
    if (!activeEffect)
        return;
    let keys = dependencies.get(target);
    if (!keys)
        dependencies.set(target, (keys = new Map()));
    let effects = keys.get(key);
    if (!effects)
        keys.set(key, (effects = new Set()));
    effects.add(activeEffect);
}

function trigger(target, key) {
    dependencies.get(target)?.get(key)?.forEach((run) => run());
}

export function reactive(object) {
    return new Proxy(object, {
        get(target, key, receiver) {
            track(target, key);
            return Reflect.get(target, key, receiver);
        },
        set(target, key, value, receiver) {
            const changed = target[key] !== value;
            const stored = Reflect.set(target, key, value, receiver);
            if (changed)
                trigger(target, key);
            return stored;
        },
    });
}

export function effect(fn) {
    const run = () => {
        activeEffect = run;
        try {
            fn();
        } finally {
            activeEffect = null;
        }
    };
    run();
    return run;
}

export class Counter {
    count = 0;
    step = 1;
    increment = () => {
        this.count += this.step;
    };
}
)js";

} // namespace

std::string modern()
{
    std::string rows;
    for (const Check &check : Checks) {
        const std::string label = htmlEscape(check.label);
        rows += "<div>" + label + "</div><div>" + htmlEscape(check.what) + "</div><div id=\"result-"
            + check.id + "\" class=\"pending\" data-check=\"" + check.id + "\" data-label=\""
            + label + "\">未运行</div>\n";
    }
    return Head + rows + "</div></div>\n" + Watchdog + Module + "</body>\n</html>\n";
}

std::string modernModule()
{
    return ModuleFile;
}

} // namespace Pages
