// The menu bar from the keyboard, as web menus are expected to work (the WAI-ARIA menubar
// pattern): F10 focuses the bar, Left and Right move along it, Down, Return or Space open a menu,
// Up and Down move in it, Right opens "最近使ったファイル", Escape closes, Tab leaves. With one menu
// open, pointing at another title switches to it.
import { dialogsOpen } from "./dialogs.js";
import { closeMenus } from "./menus.js";

// Where a step of `by` from place `at` (-1: from outside the list) lands among `count` places:
// around the ends, and from outside onto the first place going down or the last going up.
export function stepTo(count, at, by) {
  if (at < 0) return by > 0 ? 0 : count - 1;
  return (at + by + count) % count;
}

// Wires the keys and the pointer to the menu bar once it is built.
export function setUpMenuKeys() {
  const bar = document.getElementById("menubar");
  const menus = Array.from(bar.querySelectorAll(".menu"));
  const titles = menus.map((menu) => menu.querySelector(":scope > button"));

  bar.setAttribute("role", "menubar");
  titles.forEach((title, i) => {
    title.setAttribute("role", "menuitem");
    title.setAttribute("aria-haspopup", "menu");
    title.setAttribute("aria-expanded", "false");
    title.tabIndex = i === 0 ? 0 : -1;
  });
  for (const item of bar.querySelectorAll(".menu-items button")) item.tabIndex = -1;

  // aria-expanded follows the menus however they open or close (pointer, keys, the game).
  const expanded = new MutationObserver(() => {
    menus.forEach((menu, i) => titles[i].setAttribute("aria-expanded", String(menu.classList.contains("open"))));
    for (const entry of bar.querySelectorAll(".submenu-entry")) {
      entry.setAttribute("aria-expanded", String(entry.parentElement.classList.contains("open")));
    }
  });
  expanded.observe(bar, { subtree: true, attributes: true, attributeFilter: ["class"] });

  const openIndex = () => menus.findIndex((menu) => menu.classList.contains("open"));

  // The enabled, shown items of a list (a menu or the submenu), in order.
  function itemsOf(list) {
    return Array.from(list.children)
      .flatMap((child) => (child.classList.contains("submenu-holder") ? [child.querySelector(".submenu-entry")] : [child]))
      .filter((item) => item.tagName === "BUTTON" && !item.disabled);
  }

  function focusTitle(index) {
    titles.forEach((title, i) => { title.tabIndex = i === index ? 0 : -1; });
    titles[index].focus();
  }

  // Opens menu `index` (closing any other) and focuses its first item, or its last with `fromEnd`.
  function openMenu(index, fromEnd = false) {
    if (openIndex() !== index) titles[index].click();
    focusTitle(index);
    const items = itemsOf(menus[index].querySelector(".menu-items"));
    if (items.length > 0) items[fromEnd ? items.length - 1 : 0].focus();
  }

  function step(items, current, by) {
    if (items.length === 0) return;
    items[stepTo(items.length, items.indexOf(current), by)].focus();
  }

  function onTitle(event, index) {
    const keys = {
      ArrowRight: () => focusTitle(stepTo(titles.length, index, 1)),
      ArrowLeft: () => focusTitle(stepTo(titles.length, index, -1)),
      Home: () => focusTitle(0),
      End: () => focusTitle(titles.length - 1),
      ArrowDown: () => openMenu(index),
      Enter: () => openMenu(index),
      " ": () => openMenu(index),
      ArrowUp: () => openMenu(index, true),
      Escape: () => { closeMenus(); titles[index].blur(); },
    };
    return keys[event.key];
  }

  function onItem(event, item) {
    const submenu = item.closest(".submenu");
    const list = submenu || item.closest(".menu-items");
    const index = menus.indexOf(item.closest(".menu"));
    const holder = item.classList.contains("submenu-entry") ? item.parentElement : null;
    const keys = {
      ArrowDown: () => step(itemsOf(list), item, 1),
      ArrowUp: () => step(itemsOf(list), item, -1),
      Home: () => step(itemsOf(list), null, 1),
      End: () => step(itemsOf(list), null, -1),
      ArrowRight: () => {
        if (holder) {
          holder.classList.add("open");
          step(itemsOf(holder.querySelector(".submenu")), null, 1);
        } else {
          openMenu(stepTo(menus.length, index, 1));
        }
      },
      ArrowLeft: () => {
        if (submenu) {
          submenu.parentElement.classList.remove("open");
          submenu.parentElement.querySelector(".submenu-entry").focus();
        } else {
          openMenu(stepTo(menus.length, index, -1));
        }
      },
      Escape: () => {
        if (submenu) {
          submenu.parentElement.classList.remove("open");
          submenu.parentElement.querySelector(".submenu-entry").focus();
        } else {
          closeMenus();
          focusTitle(index);
        }
      },
      Tab: () => { closeMenus(); focusTitle(index); return "let-through"; },
    };
    return keys[event.key];
  }

  bar.addEventListener("keydown", (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    const index = titles.indexOf(event.target);
    const action = index >= 0 ? onTitle(event, index) : event.target.closest(".menu-items") ? onItem(event, event.target) : null;
    if (!action) return;
    if (action() === "let-through") return;
    event.preventDefault();
    event.stopPropagation();
  });

  // F10 goes to the bar (and back out of it), as in a desktop window; browsers leave it to pages.
  document.addEventListener("keydown", (event) => {
    if (event.key !== "F10" || event.ctrlKey || event.altKey || event.metaKey || dialogsOpen() > 0) return;
    event.preventDefault();
    if (bar.contains(document.activeElement)) {
      closeMenus();
      document.activeElement.blur();
    } else {
      focusTitle(0);
    }
  }, true);

  // With one menu open, pointing at another title opens that one instead; a click that follows
  // on that title leaves it open rather than closing what the pointer has just opened.
  let switchedTo = null;
  titles.forEach((title, index) => {
    title.addEventListener("pointerenter", () => {
      const open = openIndex();
      if (open >= 0 && open !== index) {
        title.click();
        focusTitle(index);
        switchedTo = title;
      }
    });
    title.addEventListener("pointerleave", () => { switchedTo = null; });
    title.addEventListener("click", (event) => {
      if (switchedTo !== title || !menus[index].classList.contains("open")) return;
      switchedTo = null;
      event.stopImmediatePropagation();
      event.stopPropagation();
    }, true);
  });
}
