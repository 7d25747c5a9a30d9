// SPDX-License-Identifier: GPL-3.0-or-later
// The move list: one scrolling column of numbered pairs, the move on show highlighted and kept
// in view (the latest one as the game goes on); a click on a move shows its position. A
// review's marks ("?!", "?", "??") follow the moves they judge.
const SYMBOLS = {inaccuracy: '?!', mistake: '?', blunder: '??'};

export class MoveList {
  #element;

  constructor(element, onSelect) {
    this.#element = element;
    element.addEventListener('click', (event) => {
      const ply = event.target.closest('[data-ply]')?.dataset.ply;
      if (ply) onSelect(Number(ply));
    });
  }

  // marks: per ply (1 for the first move), the review's {kind} of that move, if any.
  render(game, marks = []) {
    const items = [];
    const [, turn, , , , number] = game.start.split(' ');
    let move = Number(number) || 1;
    if (turn === 'b' && game.length) items.push(numberCell(move), cell('…'));
    game.moves.forEach((played, i) => {
      const ply = i + 1;
      if (played.color === 'w') items.push(numberCell(move));
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'move';
      button.dataset.ply = ply;
      // The list itself takes the focus, and the arrow keys step through it.
      button.tabIndex = -1;
      button.textContent = played.san;
      const kind = marks[ply]?.kind;
      if (kind) {
        button.classList.add(kind);
        button.append(Object.assign(document.createElement('span'),
                                    {className: 'mark', textContent: SYMBOLS[kind]}));
        button.title = kind;
      }
      if (ply === game.ply) button.setAttribute('aria-current', 'step');
      items.push(button);
      if (played.color === 'b') ++move;
    });
    const outcome = game.outcome();
    if (outcome) items.push(Object.assign(cell(outcome.result), {className: 'result'}));
    this.#element.replaceChildren(...items);
    this.#reveal(game);
  }

  // Scrolls the list, and only the list, so that the move on show is in view.
  #reveal(game) {
    const list = this.#element;
    const current = game.ply === game.length && game.outcome()
      ? list.lastElementChild : list.querySelector('[aria-current]');
    if (!current) {
      list.scrollTop = 0;
      return;
    }
    const top = current.offsetTop;
    const bottom = top + current.offsetHeight;
    if (top < list.scrollTop) list.scrollTop = top;
    else if (bottom > list.scrollTop + list.clientHeight) list.scrollTop = bottom - list.clientHeight;
  }
}

function cell(text) {
  return Object.assign(document.createElement('span'), {textContent: text});
}

function numberCell(move) {
  return Object.assign(cell(`${move}.`), {className: 'number'});
}
