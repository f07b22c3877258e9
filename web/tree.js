// The object tree: its rows (a click selects), the tree as a flat list of
// paths, and new objects under names not yet taken.
import { $ } from '/dom.js';
import { state, types, act } from '/state.js';
import { command } from '/api.js';

export function allNodes(list, prefix = '', out = []) {
  for (const node of list) {
    const path = prefix ? `${prefix}/${node.name}` : node.name;
    out.push({ path, name: node.name, type: node.type, serial: node.serial });
    allNodes(node.children, path, out);
  }
  return out;
}

export let treeShown = '';
export function renderTree() {
  const key = JSON.stringify([state.tree, state.active && state.active.serial]);
  if (key === treeShown) return;
  treeShown = key;
  const activeSerial = state.active ? state.active.serial : null;
  const build = (list, prefix) => {
    const ul = document.createElement('ul');
    for (const node of list) {
      const path = prefix ? `${prefix}/${node.name}` : node.name;
      const li = document.createElement('li');
      const row = document.createElement('div');
      row.className = 'node' + (node.serial === activeSerial ? ' active' : '');
      row.dataset.path = path;
      row.dataset.serial = String(node.serial);
      row.dataset.type = node.type;
      const kind = types[node.type] || 'object';
      row.innerHTML = `<span class="kind ${kind}">${kind}</span><span class="name"></span>`;
      row.querySelector('.name').textContent = node.name;
      row.title = path;
      row.addEventListener('click', () => act(() => command(['select', `@${node.serial}`], { quiet: true })));
      li.appendChild(row);
      if (node.children.length) li.appendChild(build(node.children, path));
      ul.appendChild(li);
    }
    return ul;
  };
  $('tree').replaceChildren(...build(state.tree, '').childNodes);
  $('tree-empty').hidden = state.tree.length !== 0;
}

function uniqueName(base) {
  const names = new Set(allNodes(state.tree).map((n) => n.name));
  if (!names.has(base)) return base;
  for (let i = 2; ; i++) if (!names.has(`${base} ${i}`)) return `${base} ${i}`;
}

export async function addObject(kind, base) {
  const name = uniqueName(base);
  const answer = await command(kind === 'arrow' ? ['arrow', name, 'menu'] : ['object', kind, name]);
  if (answer.ok) {
    const node = allNodes(answer.state.tree).find((n) => n.name === name);
    if (node) await command(['select', `@${node.serial}`], { quiet: true });
  }
}
