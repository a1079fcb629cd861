// Pointer input on the board: a mouse or a touchpad plays with a click and shows where
// the stone would go; a touch screen plays with a tap, or, when taps must be confirmed,
// with a second tap on the same cell (the first shows the stone).
export function bindBoardEvents(svg, view, handlers) {
  let pressed = null; // the pointer's cell when it went down

  const cellOf = (event) => view.cellAt(event.clientX, event.clientY);

  svg.addEventListener('pointermove', (event) => {
    if (event.pointerType === 'mouse') handlers.hover(cellOf(event));
  });
  svg.addEventListener('pointerleave', (event) => {
    if (event.pointerType === 'mouse') handlers.hover(null);
  });
  svg.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    pressed = cellOf(event);
  });
  svg.addEventListener('pointerup', (event) => {
    const cell = cellOf(event);
    const start = pressed;
    pressed = null;
    // A drag from one cell to another (a scroll on a phone) plays nothing.
    if (!cell || !start || cell.x !== start.x || cell.y !== start.y) return;
    handlers.select(cell, event.pointerType);
  });
  svg.addEventListener('pointercancel', () => {
    pressed = null;
  });
}
