// A Swap2 opening between you and the engine (or the engine and itself), as a manager
// runs it: the opener places three stones (black, white, black); the other side takes
// black, or takes white and plays the fourth stone, or places two more stones (white,
// black) and lets the opener choose. The engine's part is SWAP2BOARD with the stones so
// far; this object only keeps track of whose part it is and what the answers mean.
import { BLACK, WHITE } from './rules.js';

export const YOU = 'you';
export const ENGINE = 'engine';

export class Swap2Opening {
  // opener: YOU or ENGINE; selfPlay: the engine takes both sides.
  constructor(opener, selfPlay = false) {
    this.opener = selfPlay ? ENGINE : opener;
    this.selfPlay = selfPlay;
    this.phase = 'open'; // open, answer3, place2, answer5, choose, done
    this.yourColour = null; // BLACK or WHITE once decided (not in self-play)
  }

  get second() {
    return this.selfPlay ? ENGINE : this.opener === YOU ? ENGINE : YOU;
  }

  get done() {
    return this.phase === 'done';
  }

  // Who acts now: YOU, ENGINE, or null when the opening is over.
  actor() {
    switch (this.phase) {
      case 'open':
        return this.opener;
      case 'answer3':
        return this.second;
      case 'place2':
        return YOU;
      case 'answer5':
        return ENGINE;
      case 'choose':
        return this.selfPlay ? ENGINE : YOU;
      default:
        return null;
    }
  }

  // How many stones must be on the board before your clicks end your part (your clicks
  // place them), or 0 when it is not your part to place stones.
  stonesWanted() {
    if (this.actor() !== YOU) return 0;
    if (this.phase === 'open') return 3;
    if (this.phase === 'place2') return 5;
    return 0;
  }

  // The choices you have now (buttons), or none.
  choices() {
    if (this.actor() !== YOU) return [];
    if (this.phase === 'answer3') return ['black', 'white', 'two'];
    if (this.phase === 'choose') return ['black', 'white'];
    return [];
  }

  // Your stones reached stonesWanted().
  stonesPlaced() {
    if (this.phase === 'open') this.phase = 'answer3';
    else if (this.phase === 'place2') this.phase = 'answer5';
  }

  // Your choice: 'black', 'white' or 'two'.
  choose(choice) {
    if (choice === 'two' && this.phase === 'answer3') {
      this.phase = 'place2';
      return;
    }
    this.yourColour = choice === 'black' ? BLACK : WHITE;
    this.phase = 'done';
  }

  // The engine's answer to SWAP2BOARD with count stones: 'SWAP' or cells. Returns the
  // cells to place on the board (in order), and moves the opening on.
  engineAnswered(answer) {
    const swap = answer === 'SWAP';
    const cells = swap ? [] : answer;
    if (this.phase === 'open') {
      this.phase = 'answer3';
      return cells;
    }
    if (this.phase === 'answer3' || this.phase === 'answer5') {
      if (this.phase === 'answer3' && cells.length === 2) {
        this.phase = this.selfPlay ? 'answer5' : 'choose';
        return cells;
      }
      // SWAP: the engine takes black. A cell: the engine stays white and plays it.
      if (!this.selfPlay) this.yourColour = swap ? WHITE : BLACK;
      this.phase = 'done';
      return cells;
    }
    return [];
  }
}
