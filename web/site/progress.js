// "成績...": the progress window of the quiz file opened last, as the desktop's: the scores of the
// latest games, right answers per genre day by day, the questions due on each of the next 14
// days, and the ten questions missed most often with their right answers, charted with uPlot.
// The page loads this module and the library only when the window is first opened.
import { runDialog } from "./dialogs.js";
import { game } from "./game.js";
import { History } from "./history.js";
import { download } from "./storage.js";

const CSV_NAME = "成績.csv";
const FONT = "13px 'VL Gothic Web', sans-serif";
const COLOURS = ["#3060c0", "#d04030", "#30a050", "#d09020", "#8040b0", "#20a0b0", "#c04090", "#707070"];
const DAY_MS = 86400000;

// "M/D" of a day counted from 1970-01-01.
export function dayLabel(day) {
  const date = new Date(day * DAY_MS);
  return `${date.getUTCMonth() + 1}/${date.getUTCDate()}`;
}

// The charts' data in uPlot's form (x values first, then one list per series) with the series'
// names; a genre never answered is left out, as it would only crowd the legend.
export function chartData(progress) {
  const scores = [progress.games.map((_, i) => i + 1), progress.games.map((row) => row.score)];
  const days = progress.genreDays.map((row) => row.day);
  const genres = [];
  for (let genre = 0; genre < progress.genres.length; ++genre) {
    if (!progress.genreDays.some((row) => row.answered[genre] > 0)) continue;
    genres.push({
      name: progress.genres[genre] || `ジャンル${genre + 1}`,
      colour: COLOURS[genre % COLOURS.length],
      values: progress.genreDays.map((row) => (row.answered[genre] > 0 ? (100 * row.right[genre]) / row.answered[genre] : null)),
    });
  }
  const due = [progress.due.map((_, i) => i), progress.due];
  const dueDays = progress.due.map((_, i) => String(new Date((progress.today + i) * DAY_MS).getUTCDate()));
  return { scores, days, genres, due, dueDays };
}

const axis = (extra) => ({ font: FONT, labelFont: FONT, stroke: "#303030", grid: { stroke: "#e4e4ea" }, ...extra });
// Whole numbers only on a count's axis.
const counts = (_, splits) => splits.map((value) => (Number.isInteger(value) ? String(value) : ""));

function chartOptions(uPlot, data, width, which) {
  const height = Math.round(Math.min(260, Math.max(180, width * 0.55)));
  if (which === "scores") {
    const most = Math.max(100, ...data.scores[1]);
    return {
      title: "最近のゲームの得点", width, height, legend: { show: false },
      scales: { x: { time: false, range: [1, Math.max(2, data.scores[0].length)] }, y: { range: [0, most] } },
      axes: [axis({ label: "回", values: counts }), axis({ values: counts })],
      series: [{}, { label: "得点", stroke: COLOURS[0], width: 2, points: { show: true, size: 6 } }],
    };
  }
  if (which === "genres") {
    const first = data.days.length > 0 ? data.days[0] : 0;
    const last = data.days.length > 0 ? data.days[data.days.length - 1] : 1;
    return {
      title: "ジャンルごとの正解率", width, height, legend: { show: true, live: false },
      scales: { x: { time: false, range: [first - 1, Math.max(last, first) + 1] }, y: { range: [0, 100] } },
      axes: [
        axis({ incrs: [1, 2, 7, 14, 28, 56, 112, 364], values: (_, splits) => splits.map((day) => (Number.isInteger(day) ? dayLabel(day) : "")) }),
        axis({ values: (_, splits) => splits.map((value) => `${value}%`) }),
      ],
      series: [{}, ...data.genres.map((genre) => ({ label: genre.name, stroke: genre.colour, width: 2, spanGaps: true,
        points: { show: true, size: 6 } }))],
    };
  }
  const most = Math.max(4, ...data.due[1]);
  return {
    title: "これから14日の復習問題数", width, height, legend: { show: false },
    scales: { x: { time: false, range: [-0.5, data.due[0].length - 0.5] }, y: { range: [0, most] } },
    // The day of the month alone: fourteen dates must fit under the bars.
    axes: [axis({ splits: () => data.due[0], values: (_, splits) => splits.map((i) => data.dueDays[i] || "") }),
      axis({ values: counts })],
    series: [{}, { label: "問題数", fill: COLOURS[0], stroke: COLOURS[0], paths: uPlot.paths.bars({ size: [0.6, 40] }),
      points: { show: false } }],
  };
}

function fillMissed(body, rows) {
  body.replaceChildren();
  for (const row of rows) {
    const line = document.createElement("tr");
    for (const text of [row.text, row.right, `${row.misses} / ${row.answers}回`]) {
      const cell = document.createElement("td");
      cell.textContent = text;
      line.appendChild(cell);
    }
    body.appendChild(line);
  }
}

function loadStyle(href) {
  if (document.querySelector(`link[href="${href}"]`)) return Promise.resolve();
  return new Promise((resolve) => {
    const link = document.createElement("link");
    link.rel = "stylesheet";
    link.href = href;
    link.onload = resolve;
    link.onerror = resolve;  // the charts still draw, only their legend unstyled
    document.head.appendChild(link);
  });
}

export function exportCsv() {
  const text = game.module.UTF8ToString(game.module._pp_web_history_csv());
  // The browser's UTF-8 decoding drops the byte order mark that spreadsheets need to read the
  // Japanese: it goes back in front.
  download(new TextEncoder().encode(text.startsWith("\ufeff") ? text : `\ufeff${text}`), CSV_NAME);
}

let showing = false;

export async function showProgress() {
  // A second click while the library is on its way opens nothing more.
  if (showing) return;
  showing = true;
  try {
    await showWindow();
  } finally {
    showing = false;
  }
}

async function showWindow() {
  const [{ default: uPlot }] = await Promise.all([import("./vendor/uPlot.esm.js"), loadStyle("vendor/uPlot.min.css"),
    History.loadRows()]);
  const progress = JSON.parse(game.module.UTF8ToString(game.module._pp_web_progress_json()));
  const data = chartData(progress);
  const dialog = document.getElementById("progress-dialog");
  const charts = [];
  const exporter = document.getElementById("progress-export");
  await runDialog(dialog, () => {
    fillMissed(dialog.querySelector("tbody"), progress.missed);
    exporter.onclick = exportCsv;
    return {
      focus: document.getElementById("progress-close"),
      // Drawn once the window has its width, so that each chart fills its place.
      opened: () => {
        for (const which of ["scores", "genres", "due"]) {
          const place = document.getElementById(`progress-${which}`);
          place.replaceChildren();
          const width = Math.max(200, place.clientWidth);
          const values = which === "scores" ? data.scores
            : which === "due" ? data.due : [data.days, ...data.genres.map((genre) => genre.values)];
          charts.push(new uPlot(chartOptions(uPlot, data, width, which), values, place));
        }
        dialog.dataset.charted = String(charts.length);
      },
    };
  });
  for (const chart of charts) chart.destroy();
  delete dialog.dataset.charted;
}
