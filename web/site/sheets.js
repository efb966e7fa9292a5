// Question tables opened in the page (.xlsx, .ods, .csv, .tsv), built into a quiz as kqd and the
// desktop window build them, and the open quiz written back as a spreadsheet. Imported only when
// a table is opened or a quiz exported, with the archive library (fflate) and the module that
// holds the quiz makers' rules (pocketperna-sheets), so that a first visit fetches none of them.
//
// Here a spreadsheet is only unpacked and its XML parsed by the browser: each cell goes to the
// module with its parts as the file stores them, and what it shows, which cells are refused and
// every message of the report come from the module's C++, the same as on the desktop.
import { download } from "./storage.js";

const FORMATS = { tsv: 0, csv: 1, xlsx: 2, ods: 3 };
// A table past this size is no class's quiz: the page would hold it all while building it.
export const MAX_TABLE_BYTES = 64 << 20;
// No part of a spreadsheet is unpacked beyond this many bytes, as on the desktop.
const MAX_PART_BYTES = 128 << 20;
const TABLE_PATH = "/table";
const QUIZ_PATH = "/built.kqd";

let sheetsModule = null;

async function loadSheetsModule() {
  if (!sheetsModule) {
    const { default: start } = await import("./pocketperna-sheets.js");
    sheetsModule = await start();
  }
  return sheetsModule;
}

// The format a file's name says it is, or null for anything else (a quiz file).
export function tableFormatOf(name) {
  const dot = name.lastIndexOf(".");
  const extension = dot < 0 ? "" : name.slice(dot + 1).toLowerCase();
  return Object.hasOwn(FORMATS, extension) ? extension : null;
}

// The element children of `node` named `name` (without its namespace prefix).
function children(node, name) {
  return node ? [...node.children].filter((child) => child.localName === name) : [];
}

function child(node, name) {
  return children(node, name)[0] || null;
}

// The value of the attribute `name` of `element` in any namespace, or null.
function attribute(element, name) {
  for (const attr of element.attributes) if (attr.localName === name) return attr.value;
  return null;
}

function integer(text) {
  if (text === null || !/^\s*[+-]?\d+\s*$/.test(text)) return null;
  return Number.parseInt(text, 10);
}

class SheetError extends Error {}

// The parts of a zip archive, by name; a part that unpacks past MAX_PART_BYTES is refused whole.
async function unpack(bytes) {
  const { unzipSync } = await import("./fflate.js");
  let tooLarge = null;
  try {
    const parts = unzipSync(bytes, {
      filter: (file) => {
        if (file.originalSize > MAX_PART_BYTES) tooLarge = file.name;
        return tooLarge === null && (file.name.endsWith(".xml") || file.name.endsWith(".rels"));
      },
    });
    if (tooLarge !== null) {
      throw new SheetError(`${tooLarge} unpacks to more than ${MAX_PART_BYTES >> 20} MiB, more than any quiz needs`);
    }
    return parts;
  } catch (error) {
    if (error instanceof SheetError) throw error;
    return { notZip: String(error.message || error) };
  }
}

function parseXml(parts, name) {
  const bytes = parts[name];
  if (!bytes) return null;
  const document = new DOMParser().parseFromString(new TextDecoder().decode(bytes), "application/xml");
  if (document.getElementsByTagName("parsererror").length > 0) throw new SheetError(`${name}: not well-formed XML`);
  return document.documentElement;
}

// The text of a shared or inline string: its <t> runs, without the phonetic guides (<rPh>) that
// Japanese Excel stores beside the text.
function richText(element) {
  let text = "";
  const visit = (node) => {
    for (const part of node.children) {
      if (part.localName === "rPh") continue;
      if (part.localName === "t") text += part.textContent;
      else visit(part);
    }
  };
  visit(element);
  return text;
}

function readXlsx(parts) {
  const workbook = parseXml(parts, "xl/workbook.xml");
  if (!workbook) throw new SheetError("not an Excel workbook (.xlsx): it has no xl/workbook.xml");
  const book = { dates1904: false, stale: false, shared: [], custom: [], styles: [], sheets: [] };
  const properties = child(workbook, "workbookPr");
  book.dates1904 = properties !== null && ["1", "true"].includes(attribute(properties, "date1904"));
  const calculation = child(workbook, "calcPr");
  book.stale = calculation !== null && ["1", "true"].includes(attribute(calculation, "fullCalcOnLoad"));
  const relations = parseXml(parts, "xl/_rels/workbook.xml.rels");
  const targets = new Map(children(relations, "Relationship").map((r) => [attribute(r, "Id"), attribute(r, "Target")]));
  const shared = parseXml(parts, "xl/sharedStrings.xml");
  book.shared = children(shared, "si").map(richText);
  const styles = parseXml(parts, "xl/styles.xml");
  book.custom = children(child(styles, "numFmts"), "numFmt")
    .filter((format) => integer(attribute(format, "numFmtId")) !== null)
    .map((format) => [integer(attribute(format, "numFmtId")), attribute(format, "formatCode") || ""]);
  book.styles = children(child(styles, "cellXfs"), "xf").map((xf) => integer(attribute(xf, "numFmtId")) ?? 0);
  for (const sheet of children(child(workbook, "sheets"), "sheet")) {
    const state = attribute(sheet, "state");
    const entry = { name: attribute(sheet, "name") || "", hidden: state !== null && state !== "" && state !== "visible" };
    book.sheets.push(entry);
    if (entry.hidden) continue;
    const target = targets.get(attribute(sheet, "id")) || "";
    const part = target.startsWith("/") ? target.slice(1) : `xl/${target}`;
    const root = target ? parseXml(parts, part) : null;
    if (!root) throw new SheetError(`the workbook's sheet ${entry.name} is missing`);
    entry.merges = children(child(root, "mergeCells"), "mergeCell").map((merge) => attribute(merge, "ref") || "");
    entry.rows = children(child(root, "sheetData"), "row").map((row) => ({
      r: integer(attribute(row, "r")),
      hidden: ["1", "true"].includes(attribute(row, "hidden")),
      cells: children(row, "c").map((cell) => {
        const parsed = { r: attribute(cell, "r") || "", t: attribute(cell, "t") || "", s: integer(attribute(cell, "s")),
          f: child(cell, "f") !== null };
        const value = child(cell, "v");
        if (value !== null) parsed.v = value.textContent;
        const inline = child(cell, "is");
        if (inline !== null) parsed.is = richText(inline);
        return parsed;
      }),
    }));
  }
  return book;
}

// The text of an .ods cell: its paragraphs joined by line breaks, with the spaces, tabs and line
// breaks their elements stand for, without any annotation.
function odsCellText(cell) {
  let text = "";
  let paragraphs = 0;
  const visit = (node) => {
    for (const part of node.childNodes) {
      if (part.nodeType === Node.TEXT_NODE || part.nodeType === Node.CDATA_SECTION_NODE) {
        text += part.data;
        continue;
      }
      if (part.nodeType !== Node.ELEMENT_NODE) continue;
      const name = part.localName;
      if (name === "annotation") continue;
      if (name === "p" || name === "h") {
        if (paragraphs++ > 0) text += "\n";
        visit(part);
      } else if (name === "s") {
        text += " ".repeat(Math.min(Math.max(integer(attribute(part, "c")) ?? 1, 1), 1024));
      } else if (name === "tab") {
        text += "\t";
      } else if (name === "line-break") {
        text += "\n";
      } else {
        visit(part);
      }
    }
  };
  visit(cell);
  return text;
}

function repeatCount(element, name) {
  const count = integer(attribute(element, name));
  return count !== null && count > 1 ? Math.min(count, 1 << 30) : 1;
}

// The rows of a table, through the groups that hold them but not into tables nested in cells.
function odsRows(table) {
  const rows = [];
  const visit = (node) => {
    for (const part of node.children) {
      if (part.localName === "table-row") rows.push(part);
      else if (part.localName !== "table" && part.localName !== "table-cell") visit(part);
    }
  };
  visit(table);
  return rows;
}

function readOds(parts) {
  const content = parseXml(parts, "content.xml");
  if (!content) throw new SheetError("not an OpenDocument spreadsheet (.ods): it has no content.xml");
  const hiddenStyles = new Set();
  for (const style of children(child(content, "automatic-styles"), "style")) {
    const properties = child(style, "table-properties");
    if (properties !== null && attribute(properties, "display") === "false") hiddenStyles.add(attribute(style, "name"));
  }
  const spreadsheet = child(child(content, "body"), "spreadsheet");
  const book = { sheets: [] };
  for (const table of children(spreadsheet, "table")) {
    const style = attribute(table, "style-name");
    const entry = { name: attribute(table, "name") || "", hidden: style !== null && hiddenStyles.has(style) };
    book.sheets.push(entry);
    if (entry.hidden) continue;
    entry.rows = odsRows(table).map((row) => {
      const visibility = attribute(row, "visibility");
      return {
        repeat: repeatCount(row, "number-rows-repeated"),
        hidden: visibility === "collapse" || visibility === "filter",
        cells: [...row.children]
          .filter((cell) => cell.localName === "table-cell" || cell.localName === "covered-table-cell")
          .map((cell) => {
            const repeat = repeatCount(cell, "number-columns-repeated");
            if (cell.localName === "covered-table-cell") return { covered: true, repeat };
            const kind = { formula: false, valued: false, error: false };
            for (const attr of cell.attributes) {
              if (attr.localName === "formula") kind.formula = true;
              if (attr.localName === "value-type") {
                kind.valued = true;
                kind.error = kind.error || attr.value === "error";
              }
            }
            return { ...kind, repeat, rows: repeatCount(cell, "number-rows-spanned"),
              cols: repeatCount(cell, "number-columns-spanned"), text: odsCellText(cell) };
          }),
      };
    });
  }
  return book;
}

// What the module builds from: a text table's bytes as they are (the module finds their
// encoding), a spreadsheet's cells in JSON.
async function tableInput(format, bytes) {
  if (format === "tsv" || format === "csv") return bytes;
  let book;
  const parts = await unpack(bytes);
  if (parts.notZip !== undefined) {
    book = { notZip: parts.notZip };
  } else {
    try {
      book = format === "xlsx" ? readXlsx(parts) : readOds(parts);
    } catch (error) {
      if (!(error instanceof SheetError)) throw error;
      book = { error: error.message };
    }
  }
  return new TextEncoder().encode(JSON.stringify(book));
}

// Builds the quiz of the table `name` with `bytes`: { built, quiz (its bytes, when built),
// genres, questions, problems: [{ place, message, error }], unlisted }.
export async function buildTable(name, bytes) {
  const format = tableFormatOf(name);
  if (bytes.length > MAX_TABLE_BYTES) {
    return { built: false, problems: [{ place: "", message: "表が大きすぎます（64 MB まで）。kqd で問題集にしてください",
      error: true }], unlisted: 0 };
  }
  const module = await loadSheetsModule();
  module.FS.writeFile(TABLE_PATH, await tableInput(format, bytes));
  try { module.FS.unlink(QUIZ_PATH); } catch (error) { /* none built yet */ }
  const answer = module.ccall("pp_sheets_build", "string", ["string", "number", "string"],
    [TABLE_PATH, FORMATS[format], QUIZ_PATH]);
  module.FS.unlink(TABLE_PATH);
  const report = JSON.parse(answer);
  if (report.built) report.quiz = module.FS.readFile(QUIZ_PATH);
  return report;
}

// The summary above the report's list, as the desktop's dialog words it.
export function reportSummary(tableName, report) {
  const errors = report.problems.filter((problem) => problem.error).length;
  const warnings = report.problems.length - errors;
  let text = report.built
    ? `「${tableName}」から ${report.genres} ジャンル ${report.questions} 問の問題集を作りました。注意が ${warnings} 件あります。`
    : `「${tableName}」には誤りが ${errors} 件あるため、問題集を作れませんでした。表を直してから開き直してください。`;
  if (report.unlisted > 0) text += `（ほかに ${report.unlisted} 件あります）`;
  return text;
}

function quizName(tableName) {
  const dot = tableName.lastIndexOf(".");
  return `${dot > 0 ? tableName.slice(0, dot) : tableName}.kqd`;
}

function button(text, id) {
  const made = document.createElement("button");
  made.type = "button";
  made.id = id;
  made.textContent = text;
  return made;
}

// "問題の表の報告": every problem with its cell. It does not block the page: the game plays on
// (the keys go to it) while the teacher reads it beside the sheet. `again` opens the fixed table.
export function showReport(tableName, report, again) {
  let dialog = document.getElementById("sheet-report");
  if (!dialog) {
    dialog = document.createElement("dialog");
    dialog.id = "sheet-report";
    // Its buttons answer Return and Space themselves; the game hears every other key.
    dialog.addEventListener("keydown", (event) => {
      if (event.key === "Enter" || event.key === " " || event.key === "Escape") event.stopPropagation();
      if (event.key === "Escape") dialog.close();
    });
    document.body.appendChild(dialog);
  }
  const caption = document.createElement("h2");
  caption.textContent = "問題の表の報告";
  const summary = document.createElement("p");
  summary.className = "text summary";
  summary.textContent = reportSummary(tableName, report);
  const table = document.createElement("table");
  table.id = "sheet-problems";
  const head = table.createTHead().insertRow();
  for (const title of ["場所", "種類", "内容"]) {
    const cell = document.createElement("th");
    cell.textContent = title;
    head.appendChild(cell);
  }
  const body = table.createTBody();
  for (const problem of report.problems) {
    const row = body.insertRow();
    for (const text of [problem.place, problem.error ? "誤り" : "注意", problem.message]) row.insertCell().textContent = text;
  }
  const scroll = document.createElement("div");
  scroll.className = "table-scroll";
  scroll.appendChild(table);
  const buttons = document.createElement("div");
  buttons.className = "buttons";
  if (report.built) {
    const save = button("問題集として保存...", "sheet-report-save");
    save.addEventListener("click", () => download(report.quiz, quizName(tableName)));
    buttons.appendChild(save);
  } else {
    const reopen = button("開き直す", "sheet-report-again");
    reopen.addEventListener("click", () => { dialog.close(); again(); });
    buttons.appendChild(reopen);
  }
  const close = button("閉じる", "sheet-report-close");
  close.addEventListener("click", () => dialog.close());
  buttons.appendChild(close);
  dialog.replaceChildren(caption, summary, scroll, buttons);
  if (!dialog.open) dialog.show();
}

export function closeReport() {
  const dialog = document.getElementById("sheet-report");
  if (dialog && dialog.open) dialog.close();
}

// Opens the table `name`: plays its quiz (through `play(quizName, bytes)`) when it has no
// problem, shows the report when it has any, and keeps the built quiz for "問題集として保存...".
export async function openTable(name, bytes, play, again) {
  const report = await buildTable(name, bytes);
  if (report.problems.length > 0) showReport(name, report, again);
  else closeReport();  // the table was fixed: its old report no longer holds
  if (report.built) play(name, report.quiz);
  return report;
}

// "表として書き出す...": the quiz file `name` with `bytes` as an .xlsx to edit, every cell as text.
// The reason, when the quiz cannot be written so, else null.
export async function exportQuiz(name, bytes) {
  const module = await loadSheetsModule();
  module.FS.writeFile("/export.kqd", bytes);
  const problem = module.ccall("pp_sheets_export", "string", ["string", "string"], ["/export.kqd", "/export.xlsx"]);
  if (problem) return problem;
  const dot = name.lastIndexOf(".");
  download(module.FS.readFile("/export.xlsx"), `${dot > 0 ? name.slice(0, dot) : name}.xlsx`);
  return null;
}
