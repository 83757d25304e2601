// The signed-in pages: the state arrives as server-sent events and is shown
// with textContent only (nothing received becomes markup); each change goes
// to the API with the page's token and its answer is shown beside the field.
"use strict";
(function () {
    const csrf = document.querySelector('meta[name="csrf-token"]').content;
    const operator = document.body.dataset.role === "operator";
    const page = document.body.dataset.page;
    const live = document.getElementById("live");
    const toast = document.getElementById("toast");
    const cycles = new Map();  // dynamic PS texts shown in turn, per view
    const steppingKeys = new Set(["ArrowUp", "ArrowDown", "ArrowLeft", "ArrowRight", "PageUp",
                                  "PageDown", "Home", "End"]);
    const stepping = new Map();  // control (a radio group by its name) moved by keys: its pause
    const seen = new Map();  // control being edited: the station's revision when the edit began
    let state = null;
    let schema = null;  // each field's kind, from /api/schema

    // Characters that show nothing but change how the text around them reads
    // (controls, bidirectional overrides and isolates, separators, zero-width
    // and other format characters) are written out, as the log writes them:
    // a name or a line reads here as it was sent.
    const INVISIBLE = /[\u0000-\u0008\u000B-\u001F\u007F-\u009F\u00AD\u0600-\u0605\u061C\u06DD\u070F\u180E\u200B-\u200F\u2028-\u202E\u2060-\u206F\uFEFF\uFFF9-\uFFFB\u{E0001}\u{E0020}-\u{E007F}]/gu;
    function visible(value) {
        return String(value).replace(INVISIBLE, (c) => {
            const code = c.codePointAt(0);
            const hex = code.toString(16).toUpperCase();
            return code < 0xA0 ? "\\x" + hex.padStart(2, "0") : "\\u{" + hex + "}";
        });
    }

    function text(element, value) {
        if (element) {
            element.textContent = value === null || value === undefined ? "" : visible(value);
        }
    }

    // A failure stays until the operator clicks it away; news goes by itself,
    // but for news of something still under way (`until` false).
    function say(message, bad, until = !bad) {
        toast.textContent = visible(message);
        toast.className = "toast show" + (bad ? " bad" : "");
        toast.title = bad ? "Click to dismiss" : "";
        clearTimeout(say.timer);
        if (until) {
            say.timer = setTimeout(() => { toast.className = "toast"; }, 5000);
        }
    }
    toast.addEventListener("click", () => { toast.className = "toast"; });

    // A call with a JSON body (or the bytes of a file): its answer as JSON.
    async function post(path, body, type, headers = {}) {
        const response = await fetch(path, {
            method: "POST",
            credentials: "same-origin",
            headers: {"X-CSRF-Token": csrf, "Content-Type": type || "application/json", ...headers},
            body: type ? body : JSON.stringify(body),
        });
        if (response.status === 401) {
            location.assign("/signin");
        }
        let json = {};
        try {
            json = await response.json();
        } catch {
            json = {};
        }
        return {status: response.status, json: json};
    }

    // Done, or refused with its reason.
    function verdict(reply) {
        const error = reply.json.error;
        return {ok: reply.status === 200,
                why: error ? error.message : (reply.status === 200 ? "" : "refused (" + reply.status + ")")};
    }

    // ---- on air ----------------------------------------------------------

    function yesNo(flag) {
        return flag === null || flag === undefined ? "?" : String(flag);
    }

    function showView(container, view, key, record) {
        clearInterval(cycles.get(key));
        container.replaceChildren();
        if (!view) {
            const note = document.createElement("p");
            note.className = "empty-note";
            const written = (record || []).join("\n").trim();
            note.textContent = "This run has not written this bank." +
                (written ? " What a send wrote into it last, perhaps in an earlier run:" : "");
            container.append(note);
            if (written) {
                const lines = document.createElement("pre");
                lines.className = "record";
                lines.textContent = written;
                container.append(lines);
            }
            return;
        }
        const node = document.getElementById("view-template").content.cloneNode(true);
        const slot = (name) => node.querySelector('[data-k="' + name + '"]');
        const ps = slot("ps");
        text(ps, view.ps);
        text(slot("ab"), view.ab === null ? "" : view.ab ? "B" : "A");
        text(slot("rt"), view.rt === null ? "(no radiotext)" : view.rt);
        text(slot("pi"), view.pi);
        text(slot("pty"), view.pty === null ? "?" : view.pty + " " + view.pty_name + " (RBDS " + view.pty_name_rbds + ")");
        text(slot("tpta"), yesNo(view.tp) + " / " + yesNo(view.ta));
        text(slot("ms"), view.ms);
        const di = view.di;
        text(slot("di"), [di.stereo ? "stereo" : "mono", di.artificial_head ? "artificial head" : null,
                          di.compressed ? "compressed" : null, di.dynamic_pty ? "dynamic PTY" : null]
                             .filter(Boolean).join(", "));
        text(slot("af"), view.af.length ? view.af.map((mhz) => mhz.toFixed(1)).join("  ") + " MHz" : "none");
        text(slot("blocks"), view.blocks.total + " blocks, " + view.blocks.bad + " bad");
        const warnings = slot("warnings");
        for (const warning of view.warnings) {
            const item = document.createElement("li");
            item.textContent = visible(warning);
            warnings.append(item);
        }
        if (view.dps) {
            text(slot("dps"), "each text " + view.dps.step_seconds + " s: " +
                 view.dps.texts.map((t) => "[" + t + "]").join(" "));
            let shown = 0;
            text(ps, view.dps.texts[0]);
            cycles.set(key, setInterval(() => {
                shown = (shown + 1) % view.dps.texts.length;
                text(ps, view.dps.texts[shown]);
            }, Math.max(1, view.dps.step_seconds) * 1000));
        } else {
            text(slot("dps"), "off");
        }
        container.append(node);
    }

    function showLastSend(element, last) {
        element.classList.toggle("bad", Boolean(last && !last.ok));
        element.hidden = !last;
        text(element, last ? "Last send " + last.time + ": " + (last.ok ? "ok" : "failed, " + last.reason) : "");
    }

    function row(table, cells) {
        const line = document.createElement("tr");
        for (const cell of cells) {
            const td = document.createElement("td");
            td.textContent = visible(cell);
            line.append(td);
        }
        table.tBodies[0].append(line);
    }

    function showOnAir() {
        text(document.getElementById("station-file"), state.station_file);
        const port = document.getElementById("port");
        text(port, state.port.name + ": " + state.port.description);
        port.classList.toggle("bad", !state.port.ok);
        document.getElementById("sending").hidden = !state.sending;
        text(document.getElementById("wear"), state.wear.text);
        const held = document.getElementById("held");
        held.hidden = !state.wear.held;
        text(held, state.wear.held || "");
        const trouble = document.getElementById("wear-trouble");
        trouble.hidden = !state.wear.trouble;
        text(trouble, state.wear.trouble || "");
        text(document.getElementById("plays"), state.both_banks
            ? "The encoder plays bank 1 and bank 2 in turn; sends go to bank " + state.send_bank + "."
            : "Sends go to bank " + state.send_bank + "; which bank the encoder plays is set on the encoder.");
        for (const bank of state.banks) {
            const card = document.getElementById("bank-" + bank.bank);
            showView(card.querySelector(".view"), bank.on_air, "bank-" + bank.bank, bank.record);
            showLastSend(card.querySelector(".last-send"), bank.last_send);
            showHolds(card.querySelector(".holds"), bank);
        }
        showView(document.querySelector("#preview .view"), state.preview, "preview");
        const feeds = document.getElementById("feeds");
        feeds.tBodies[0].replaceChildren();
        for (const feed of state.feeds) {
            row(feeds, [feed.source, feed.file, feed.text, feed.why || feed.state, feed.changed]);
        }
        document.getElementById("no-feeds").hidden = state.feeds.length > 0;
        const listeners = document.getElementById("listeners");
        listeners.tBodies[0].replaceChildren();
        for (const listener of state.listeners) {
            row(listeners, [listener.listener, String(listener.clients), listener.last_client, listener.last_seen]);
        }
        document.getElementById("no-listeners").hidden = state.listeners.length > 0;
    }

    // What a bank holds against the station as it stands.
    function showHolds(element, bank) {
        let said = "";
        let behind = false;
        if (bank.revision === null) {
            said = "Unknown since start";
            behind = true;
        } else if (bank.bank === state.send_bank && state.pending && state.pending.length) {
            said = "Not yet on air here: " + state.pending.join(", ");
            behind = true;
        } else if (bank.bank === state.send_bank) {
            said = "Holds the station as it stands";
        } else {
            said = "Holds revision " + bank.revision + " of the station (now " + state.revision + ")";
        }
        element.classList.toggle("behind", behind);
        text(element, said);
    }

    // The line under the header on every page: the link, the feeds, the network.
    function showHealth() {
        const link = document.getElementById("health-link");
        link.className = "health-" + state.health.link;
        text(link, "Encoder: " + state.health.link_text + ".");
        const feeds = document.getElementById("health-feeds");
        feeds.className = state.health.feeds_ok ? "" : "health-bad";
        text(feeds, "Feeds: " + state.health.feeds_text + ".");
        text(document.getElementById("health-listeners"), "Network: " + state.health.listeners_text + ".");
        const alarms = document.getElementById("health-alarms");
        const standing = state.alarms.active;
        alarms.hidden = standing.length === 0;
        alarms.className = "health-bad";
        text(alarms, standing.length === 1 ? "Alarm: " + heading(standing[0]) + "."
                                           : "Alarms: " + standing.length + " standing.");
    }

    // ---- alarms ------------------------------------------------------------

    function heading(alarm) {
        return alarm.title + (alarm.subject ? " (" + alarm.subject + ")" : "");
    }

    // Moments come in UTC; they are shown in the browser's own time, written
    // as the rest of the page writes them.
    function moment(utc) {
        const at = new Date(utc);
        const two = (n) => String(n).padStart(2, "0");
        return at.getFullYear() + "-" + two(at.getMonth() + 1) + "-" + two(at.getDate()) + " " +
               two(at.getHours()) + ":" + two(at.getMinutes()) + ":" + two(at.getSeconds());
    }

    async function acknowledge(button, alarm) {
        button.disabled = true;
        const result = verdict(await post("/api/alarms/ack", {alarm: alarm.id}));
        if (result.ok) {
            say("Acknowledged: " + heading(alarm), false);
        } else {
            button.disabled = false;
            say("Not acknowledged: " + result.why, true);
        }
    }

    function seenCell(alarm) {
        const cell = document.createElement("td");
        if (alarm.acknowledged) {
            cell.textContent = visible("by " + alarm.acknowledged.by + ", " + moment(alarm.acknowledged.at));
        } else if (operator) {
            const button = document.createElement("button");
            button.type = "button";
            button.textContent = "Acknowledge";
            button.setAttribute("aria-label", "Acknowledge " + heading(alarm));
            button.addEventListener("click", () => acknowledge(button, alarm));
            cell.append(button);
        } else {
            cell.textContent = "not yet";
        }
        return cell;
    }

    function showAlarms() {
        const shownNow = JSON.stringify(state.alarms);
        if (showAlarms.shown === shownNow) {
            return;  // a table rebuilt under the pointer would swallow a click
        }
        showAlarms.shown = shownNow;
        const active = document.getElementById("alarms-active");
        active.tBodies[0].replaceChildren();
        for (const alarm of state.alarms.active) {
            row(active, [heading(alarm), moment(alarm.since), alarm.reason]);
            active.tBodies[0].lastChild.append(seenCell(alarm));
        }
        document.getElementById("no-alarms").hidden = state.alarms.active.length > 0;
        const history = document.getElementById("alarms-history");
        history.tBodies[0].replaceChildren();
        for (const entry of state.alarms.history) {
            row(history, [moment(entry.at), entry.what, heading(entry), entry.text]);
        }
        document.getElementById("no-history").hidden = state.alarms.history.length > 0;
    }

    // ---- station and settings -------------------------------------------

    function mark(element, result, offer) {
        const holder = element.closest(".field, .check, .rt-line, fieldset, .dps label") || element.parentElement;
        let note = holder.querySelector(":scope > .verdict");
        if (!note) {
            note = document.createElement("span");
            note.className = "verdict";
            note.id = "verdict-" + Math.random().toString(36).slice(2);
            note.setAttribute("role", "status");
            holder.append(note);
        }
        element.setAttribute("aria-describedby", note.id);
        element.setAttribute("aria-invalid", result.ok ? "false" : "true");
        note.classList.toggle("bad", !result.ok);
        note.textContent = result.ok ? "✓" : visible(result.why);
        if (offer) {
            const button = document.createElement("button");
            button.type = "button";
            button.textContent = "Apply mine anyway";
            button.addEventListener("click", offer);
            note.append(" ", button);
        }
        if (result.ok) {
            setTimeout(() => { if (note.textContent === "✓") note.textContent = ""; }, 1500);
        }
    }

    // A field's typed value as its control shows it.
    function shown(name, value) {
        const kind = schema && schema.fields[name] ? schema.fields[name].kind : "text";
        if (kind === "frequency") {
            return value === null ? "" : value.toFixed(1);
        }
        if (kind === "flag") {
            return value ? "1" : "0";
        }
        return value === null || value === undefined ? "" : String(value);
    }

    function fillFields(form) {
        for (const element of form.elements) {
            if (!element.name || element === document.activeElement ||
                stepping.has(groupOf(element)) || element.dataset.applying) {
                continue;
            }
            const value = state.fields[element.name];
            if (value === undefined) {
                continue;
            }
            if (element.type === "checkbox") {
                element.checked = value === true;
            } else if (element.type === "radio") {
                element.checked = element.value === shown(element.name, value);
            } else if (element.getAttribute("aria-invalid") !== "true") {
                element.value = shown(element.name, value);
            }
        }
        for (const box of form.querySelectorAll("[data-di]")) {
            if (box !== document.activeElement) {
                box.checked = Boolean(state.fields.DI && state.fields.DI[box.dataset.di]);
            }
        }
        for (const output of form.querySelectorAll("output")) {
            const value = Number(form.elements[output.htmlFor.value].value);
            text(output, output.dataset.unit === "dpsp" ? value * 3 + " s" : value + " min");
        }
        for (const span of form.querySelectorAll("[data-feed]")) {
            text(span, state.fields[span.dataset.feed]);
        }
    }

    function fillPtyNames() {
        const select = document.getElementById("PTY");
        if (select && select.options.length === 0) {
            state.pty_names.forEach((name, code) => select.add(new Option(code + " " + name, String(code))));
        }
    }

    function showStation() {
        fillPtyNames();
        text(document.getElementById("station-file"), state.station_file);
        const form = document.getElementById("fields");
        fillFields(form);
        markPending(form);
        preselectStation();
    }

    // The file list starts at the station loaded, until the operator picks another.
    function preselectStation() {
        const select = document.getElementById("load-name");
        const name = state.station_file.split(/[\\/]/).pop();
        if (!select.dataset.picked && [...select.options].some((option) => option.value === name)) {
            select.value = name;
        }
    }

    // Every field whose value the bank that sends go to does not hold yet.
    function markPending(form) {
        const pending = new Set(state.pending || []);
        for (const holder of form.querySelectorAll(".pending")) {
            holder.classList.remove("pending");
        }
        for (const key of pending) {
            const element = key === "DI" ? form.querySelector("[data-di]") : form.elements[key];
            const first = element && element.length !== undefined && !element.tagName ? element[0] : element;
            const holder = first && first.closest(".field, .check, .rt-line, fieldset, .dps label, .af");
            if (holder) {
                holder.classList.add("pending");
            }
        }
        const note = document.getElementById("pending");
        note.hidden = state.pending !== null && pending.size === 0;
        text(note, state.pending === null
            ? "Bank " + state.send_bank + " has not been written in this run: what it holds is unknown. Send to be sure."
            : "Not on air yet in bank " + state.send_bank + ": " + [...pending].join(", ") + ". Marked fields go on air with the next send.");
    }

    function showSettings() {
        const form = document.getElementById("settings");
        fillFields(form);
        for (const bank of state.banks) {
            const record = bank.record.join("\n").trim();
            text(document.getElementById("record-" + bank.bank), record || "(nothing sent)");
        }
    }

    // The field a control sets, and its value in the API's typed form.
    function changeOf(form, element) {
        if (element.dataset.di !== undefined) {
            const flags = {};
            for (const box of form.querySelectorAll("[data-di]")) {
                flags[box.dataset.di] = box.checked;
            }
            return ["DI", flags];
        }
        const key = element.name;
        const kind = schema && schema.fields[key] ? schema.fields[key].kind : "text";
        const raw = element.value.replace(/[\r\n]/g, " ");
        switch (kind) {
            case "flag":
                return [key, element.type === "checkbox" ? element.checked : raw === "1"];
            case "number":
            case "selection":
            case "bank":
                return [key, /^[0-9]+$/.test(raw) ? Number(raw) : raw];
            case "frequency": {
                const mhz = raw.trim().replace(",", ".");
                return [key, mhz === "" ? null : (isNaN(Number(mhz)) ? raw : Number(mhz))];
            }
            default:
                return [key, raw];
        }
    }

    function watchForm(form) {
        form.addEventListener("submit", (event) => event.preventDefault());
        form.addEventListener("input", (event) => {
            if (event.target.type === "range") {
                fillFields(form);
            }
        });
        // A list, a slider or a choice of radiotexts stepped by the keyboard
        // passes values on its way to the one wanted: only where it rests
        // (Tab, Enter, leaving it, a pause of a second) is applied.
        form.addEventListener("focusin", (event) => {
            if (state && !seen.has(groupOf(event.target))) {
                seen.set(groupOf(event.target), state.revision);
            }
        });
        form.addEventListener("keydown", (event) => {
            const element = event.target;
            if (event.key === "Escape" && element.getAttribute("aria-invalid") === "true") {
                abandon(form, element);
                return;
            }
            if (!stepsByKeys(element)) {
                return;
            }
            if (steppingKeys.has(event.key)) {
                clearTimeout(stepping.get(groupOf(element)));
                stepping.set(groupOf(element), setTimeout(() => restAt(form, element), 1000));
            } else if (event.key === "Enter" && stepping.has(groupOf(element))) {
                restAt(form, element);
            }
        });
        form.addEventListener("focusout", (event) => {
            const element = event.target;
            const group = groupOf(element);
            const next = event.relatedTarget;
            if (stepping.has(group) && !(next && stepsByKeys(next) && groupOf(next) === group)) {
                restAt(form, element);
            }
            if (!(next && groupOf(next) === group) && element.getAttribute("aria-invalid") !== "true") {
                seen.delete(group);
            }
        });
        form.addEventListener("change", (event) => {
            if (!stepping.has(groupOf(event.target))) {
                apply(form, event.target);
            }
        });
    }


    function stepsByKeys(element) {
        return element.tagName === "SELECT" || element.type === "range" || element.type === "radio";
    }

    function groupOf(element) {
        return element.type === "radio" ? "radio:" + element.name : element;
    }

    function restAt(form, element) {
        if (!stepping.has(groupOf(element))) {
            return;
        }
        clearTimeout(stepping.get(groupOf(element)));
        stepping.delete(groupOf(element));
        const chosen = element.type === "radio"
            ? form.querySelector('input[type="radio"][name="' + element.name + '"]:checked')
            : element;
        if (chosen) {
            apply(form, chosen);
        }
    }

    // A change carries the revision its edit began at, so that a change
    // another made meanwhile is not undone unseen; "anyway" leaves it out.
    async function apply(form, element, anyway) {
        const group = groupOf(element);
        const began = seen.has(group) ? seen.get(group) : state && state.revision;
        const [key, value] = changeOf(form, element);
        const body = {fields: {[key]: value}};
        if (!anyway && began !== null && began !== undefined) {
            body.seen_revision = began;
        }
        element.dataset.applying = "1";  // its value stays as typed until the answer
        let reply;
        try {
            reply = await post("/api/fields", body);
        } finally {
            delete element.dataset.applying;
        }
        const result = verdict(reply);
        if (reply.status === 409) {
            mark(element, result, () => apply(form, element, true));
            return;
        }
        mark(element, result);
        if (state) {
            show();  // the value as the service holds it (a PI in capitals)
        }
        if (result.ok && reply.json.revision !== undefined) {
            if (document.activeElement === element) {
                seen.set(group, Number(reply.json.revision));
            } else {
                seen.delete(group);
            }
        }
        if (!result.ok && element.type !== "checkbox" && element.type !== "radio" && state) {
            element.focus();
        }
    }

    // The operator gives up a refused value: the field shows the service's again.
    function abandon(form, element) {
        element.setAttribute("aria-invalid", "false");
        const holder = element.closest(".field, .check, .rt-line, fieldset, .dps label") || element.parentElement;
        const note = holder.querySelector(":scope > .verdict");
        if (note) {
            note.textContent = "";
            note.classList.remove("bad");
        }
        if (state && state.fields[element.name] !== undefined) {
            element.value = shown(element.name, state.fields[element.name]);
        }
        seen.delete(groupOf(element));
    }

    async function loadNames() {
        const select = document.getElementById("load-name");
        const response = await fetch("/api/stations", {credentials: "same-origin"});
        if (!response.ok) {
            return;
        }
        const names = await response.json();
        select.replaceChildren(...names.map((name) => new Option(visible(name), name)));
        if (names.length === 0) {
            select.append(new Option("(no station files)", ""));
        }
        select.addEventListener("change", () => { select.dataset.picked = "1"; });
        if (state) {
            preselectStation();
        }
    }

    async function act(path, body, done) {
        const result = verdict(await post(path, body));
        say(result.ok ? done : "Refused: " + result.why, !result.ok);
    }

    function watchActions() {
        const sendButtons = document.querySelectorAll("[data-send]");
        for (const button of sendButtons) {
            button.addEventListener("click", async () => {
                const bank = button.dataset.send;
                sendButtons.forEach((each) => { each.disabled = true; });
                say("Sending to bank " + bank + "…", false, false);
                try {
                    const reply = await post("/api/send", {bank: Number(bank)});
                    const result = verdict(reply);
                    say(result.ok ? "On air in bank " + reply.json.bank + " at " + reply.json.at.slice(11)
                                  : "Not on air: " + result.why, !result.ok);
                } catch {
                    say("Not known whether it went on air: the service did not answer", true);
                } finally {
                    sendButtons.forEach((each) => { each.disabled = !operator; });
                }
            });
        }
        document.getElementById("save").addEventListener("click", () => act("/api/save", {}, "Saved"));
        document.getElementById("saveas").addEventListener("click", async () => {
            const name = document.getElementById("saveas-name").value.trim();
            if (name) {
                const reply = await post("/api/saveas", {name: name});
                const result = verdict(reply);
                say(result.ok ? "Saved as " + reply.json.name : "Not saved: " + result.why, !result.ok);
                if (result.ok) {
                    loadNames();
                }
            }
        });
        document.getElementById("load").addEventListener("click", () => {
            const name = document.getElementById("load-name").value;
            if (name) {
                act("/api/load", {name: name}, "Loaded " + name);
            }
        });
        document.getElementById("upload").addEventListener("click", async () => {
            const file = document.getElementById("upload-file").files[0];
            if (file) {
                const reply = await post("/api/upload", await file.arrayBuffer(),
                                         "application/octet-stream",
                                         {"X-File-Name": encodeURIComponent(file.name)});
                const result = verdict(reply);
                say(result.ok ? "Uploaded " + file.name + " as the new station " + reply.json.name
                              : "Refused: " + result.why, !result.ok);
            }
        });
        loadNames();
    }

    function lookOnly() {
        for (const element of document.querySelectorAll("main input, main select, main button")) {
            element.disabled = true;
        }
    }

    // The log page asks for the lines again whenever the program logged more.
    async function showLog() {
        if (showLog.count === state.log_count) {
            return;
        }
        showLog.count = state.log_count;
        const response = await fetch("/api/log", {credentials: "same-origin"});
        if (!response.ok) {
            return;
        }
        const view = document.getElementById("log");
        const atEnd = view.scrollTop + view.clientHeight >= view.scrollHeight - 8;
        const lines = await response.json();
        text(view, lines.length ? lines.join("\n") : "(nothing logged yet)");
        if (atEnd) {
            view.scrollTop = view.scrollHeight;
        }
    }

    function show() {
        showHealth();
        if (page === "log") {
            showLog();
        }
        if (page === "onair") {
            showOnAir();
        } else if (page === "station") {
            showStation();
        } else if (page === "settings") {
            showSettings();
        } else if (page === "alarms") {
            showAlarms();
        }
    }

    function watch() {
        const source = new EventSource("/api/events");
        source.addEventListener("state", (event) => {
            state = JSON.parse(event.data);
            live.textContent = "live";
            live.className = "live on";
            show();
        });
        source.addEventListener("error", () => {
            live.textContent = "reconnecting";
            live.className = "live off";
            fetch("/api/state", {credentials: "same-origin"}).then((response) => {
                if (response.status === 401) {
                    location.assign("/signin");
                }
            });
        });
    }

    // The fields' kinds come first: the forms read and write typed values.
    async function loadSchema() {
        const response = await fetch("/api/schema", {credentials: "same-origin"});
        if (response.ok) {
            schema = await response.json();
        }
    }

    if (page === "station") {
        watchForm(document.getElementById("fields"));
        watchActions();
    } else if (page === "settings") {
        watchForm(document.getElementById("settings"));
    }
    if (!operator) {
        lookOnly();
    }
    loadSchema().finally(watch);
})();
