// The canvas player of the map view's drawing list: the third player of the
// list beside the window's GDI and the SVG writer. The list is in the view's
// CSS pixels; the canvas holds devicePixelRatio device pixels for each, so the
// picture stays sharp on high-density screens.

const font = "12px 'Meiryo UI', 'IPAGothic', 'Noto Sans CJK JP', sans-serif";

function cssColour(rgb) {
  return '#' + (rgb & 0xffffff).toString(16).padStart(6, '0');
}

export class CanvasPlayer {
  // table: the core's drawingTable(); translate: how a text of the list is shown.
  constructor(canvas, table, translate) {
    this.canvas = canvas;
    this.ctx = canvas.getContext('2d', { alpha: false });
    this.ops = table.ops;
    this.pens = table.pens.map((p) => ({ width: p.width, colour: cssColour(p.colour) }));
    this.brushes = table.brushes.map((b) => (b === null ? null : cssColour(b)));
    this.blackPen = table.blackPen;
    this.whiteBrush = table.whiteBrush;
    this.translate = translate;
  }

  // Sizes the canvas for a view of width x height CSS pixels.
  resize(width, height, ratio) {
    const w = Math.max(1, Math.round(width * ratio)), h = Math.max(1, Math.round(height * ratio));
    if (this.canvas.width !== w) this.canvas.width = w;
    if (this.canvas.height !== h) this.canvas.height = h;
    this.ratio = ratio;
    this.width = width;
    this.height = height;
  }

  play(calls, texts) {
    const ctx = this.ctx, ops = this.ops;
    ctx.setTransform(this.ratio, 0, 0, this.ratio, 0, 0);
    // The background the view's class brush erases to.
    ctx.fillStyle = '#ffffff';
    ctx.fillRect(0, 0, this.width, this.height);
    // GDI fills the pixel right and below a coordinate: its centre is half a pixel on.
    ctx.translate(0.5, 0.5);
    ctx.lineCap = 'round';
    ctx.lineJoin = 'round';
    ctx.font = font;
    ctx.textBaseline = 'top';
    let pen = this.blackPen, brush = this.whiteBrush;
    let x = 0, y = 0, pathOpen = false, moved = true;
    const stroke = () => {
      if (!pathOpen) return;
      ctx.lineWidth = this.pens[pen].width;
      ctx.strokeStyle = this.pens[pen].colour;
      ctx.stroke();
      pathOpen = false;
    };
    for (let i = 0; i < calls.length; i += 8) {
      const op = calls[i], a = calls[i + 1], b = calls[i + 2], c = calls[i + 3], d = calls[i + 4];
      switch (op) {
        case ops.selectPen:
          if (a !== pen) stroke();
          pen = a;
          break;
        case ops.selectBrush:
          brush = a;
          break;
        case ops.moveTo:
          x = a; y = b; moved = true;
          break;
        case ops.lineTo:
          if (!pathOpen) { ctx.beginPath(); pathOpen = true; moved = true; }
          if (moved) { ctx.moveTo(x, y); moved = false; }
          ctx.lineTo(a, b);
          x = a; y = b;
          break;
        case ops.ellipse: {
          stroke();
          ctx.beginPath();
          ctx.ellipse((a + c) / 2, (b + d) / 2, (c - a) / 2, (d - b) / 2, 0, 0, 2 * Math.PI);
          if (this.brushes[brush] !== null) { ctx.fillStyle = this.brushes[brush]; ctx.fill(); }
          ctx.lineWidth = this.pens[pen].width;
          ctx.strokeStyle = this.pens[pen].colour;
          ctx.stroke();
          break;
        }
        case ops.fillRect:
          stroke();
          ctx.fillStyle = this.brushes[calls[i + 5]] ?? '#ffffff';
          ctx.fillRect(a - 0.5, b - 0.5, c - a, d - b);
          break;
        case ops.textOut:
        case ops.textRight: {
          stroke();
          const text = this.translate(texts.substring(calls[i + 6], calls[i + 6] + calls[i + 7]));
          ctx.fillStyle = '#000000';
          ctx.textAlign = op === ops.textRight ? 'right' : 'left';
          ctx.fillText(text, op === ops.textRight ? c : a, b);
          break;
        }
        default:
          break;
      }
    }
    stroke();
  }
}
