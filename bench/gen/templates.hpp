#pragma once
// The building blocks of generated programs, as QUELLIN source with placeholders:
//   @   the unit's number (makes every declared name unique within a program)
//   $P  "pub " in library modules, empty in entry files
//   $C  the body of the unit's chain function (it calls the previous unit of the file)
//   $1 .. $5  per-unit constants drawn from the generator's seed
//   $M, $F  (bridges only) the imported module and the number of its first unit
// Every unit ends with one blank line.

#include <string_view>

namespace quellin::gen {

// Stock keeping: a record, a unit/payload enum, a generic record, matches with guards, `with`,
// block and expression lambdas, map/filter/fold, `?`, interpolation with nested calls.
inline constexpr std::string_view inventory_unit = R"QN(/// One line of stock: what it is, what it costs (in cents) and how many are left.
$Precord Item@:
    name: Text
    price: Int
    qty: Int
    kind: Kind@

/// What sort of thing an item is.
$Penum Kind@:
    Tool
    Food(days_left: Int)
    Gift(wrapped: Bool)

/// Two values carried together.
record Pair@[A, B]:
    first: A
    second: B

/// The value of all units of an item, in cents.
$Pfn stock_value_@(item: Item@) -> Int = item.price * item.qty

/// A short label for an item's kind.
$Pfn kind_label_@(kind: Kind@) -> Text:
    match kind:
        case Kind@.Tool:
            return "tool"
        case Kind@.Food(days_left: d):
            if d < $1:
                return "food (use soon)"
            return "food"
        case Kind@.Gift(wrapped: w):
            if w:
                return "gift (wrapped)"
            return "gift"

/// The same item with its quantity lowered by n, never below zero.
$Pfn take_@(item: Item@, n: Int) -> Item@:
    mut left = item.qty - n
    if left < 0:
        left = 0
    return item with qty: left

/// The largest number of a list, or None when the list is empty.
fn largest_@(xs: List[Int]) -> Option[Int]:
    mut best: Option[Int] = None
    for x in xs:
        match best:
            case Some(b) if b >= x:
                continue
            case _:
                best = Some(x)
    return best

/// Everything worth knowing about the shelf, as text.
$Pfn report_@(shelf: List[Item@]) -> Text:
    let weigh = fn(i: Item@) -> Int:
        if i.qty > $2:
            return stock_value_@(i)
        return i.price * $2
    let values = shelf.map(weigh)
    let total = values.fold(0, fn(acc: Int, x: Int) -> Int = acc + x)
    let names = shelf.map(fn(i: Item@) -> Text = "{i.name} ({kind_label_@(i.kind)})")
    let top = Pair@(first: "total", second: total)
    match largest_@(values):
        case Some(v):
            return "{names.join(", ")}: {top.first} {top.second}, largest {v}"
        case None:
            return "the shelf is empty"

/// The average price of a shelf, or an error for an empty one.
$Pfn mean_price_@(shelf: List[Item@]) -> Result[Float, Text]:
    if shelf.is_empty():
        return Err("no prices to average")
    let prices = shelf.map(fn(i: Item@) -> Int = i.price)
    let total = prices.fold(0, fn(acc: Int, x: Int) -> Int = acc + x)
    return Ok(total.to_float() / prices.len().to_float())

/// The mean price with tax, or the reason there is none.
$Pfn taxed_mean_@(shelf: List[Item@]) -> Result[Float, Text]:
    let mean = mean_price_@(shelf)?
    return Ok(mean * 1.$3)

/// The names of the items that cost less than the limit and are in stock, shouted.
$Pfn cheap_names_@(shelf: List[Item@], limit: Int) -> List[Text]:
    let cheap = shelf.filter(fn(i: Item@) -> Bool = i.price < limit and i.qty > 0)
    return cheap.map(fn(i: Item@) -> Text = i.name.upper())

/// A score for a number, used to compare units.
$Pfn score_@(n: Int) -> Int:
    mut total = 0
    mut i = 0
    while i < n:
        if i % $2 == 0:
            total = total + i * $3
        else:
            total = total - 1
        i = i + 1
    return total

/// This unit's score combined with the previous unit's.
$Pfn chain_@(n: Int) -> Int = $C

test "stock value and labels @":
    let hammer = Item@(name: "hammer", price: $4, qty: 4, kind: Kind@.Tool)
    let bread = Item@(name: "bread", price: 300, qty: 10, kind: Kind@.Food(days_left: 2))
    assert stock_value_@(hammer) == $4 * 4
    assert take_@(hammer, 10).qty == 0
    assert kind_label_@(bread.kind) == "food (use soon)"
    assert largest_@([3, 9, 2]) == Some(9)
    assert report_@([hammer, bread]).len() > 0
    assert cheap_names_@([hammer, bread], 500) == ["BREAD"]

)QN";

// Geometry: records holding records, payload enums, Float arithmetic and methods, Option results,
// a captured variable in a lambda, unit-variant references.
inline constexpr std::string_view geometry_unit = R"QN(/// A point on the plane.
$Precord Point@:
    x: Float
    y: Float

/// A shape placed on the plane.
$Penum Shape@:
    Circle(center: Point@, radius: Float)
    Rect(corner: Point@, width: Float, height: Float)
    Empty

/// The area a shape covers.
$Pfn area_@(s: Shape@) -> Float:
    match s:
        case Shape@.Circle(center: _, radius: r):
            return 3.14159 * r * r
        case Shape@.Rect(corner: _, width: w, height: h):
            return w * h
        case Shape@.Empty:
            return 0.0

/// The straight-line distance between two points.
$Pfn distance_@(a: Point@, b: Point@) -> Float:
    let dx = a.x - b.x
    let dy = a.y - b.y
    return (dx * dx + dy * dy).sqrt()

/// A point moved by an offset.
$Pfn moved_@(p: Point@, dx: Float, dy: Float) -> Point@ = p with x: p.x + dx, y: p.y + dy

/// The area of all shapes together.
$Pfn total_area_@(shapes: List[Shape@]) -> Float:
    mut total = 0.0
    for s in shapes:
        total = total + area_@(s)
    return total

/// A shape described for people.
$Pfn describe_@(s: Shape@) -> Text:
    match s:
        case Shape@.Circle(center: c, radius: r):
            return "circle at ({c.x}, {c.y}) with radius {r}"
        case Shape@.Rect(corner: c, width: w, height: h):
            return "rect at ({c.x}, {c.y}) of {w} by {h}"
        case Shape@.Empty:
            return "nothing"

/// The shape with the largest area, or None for no shapes.
$Pfn largest_shape_@(shapes: List[Shape@]) -> Option[Shape@]:
    mut best: Option[Shape@] = None
    mut best_area = -1.0
    for s in shapes:
        let a = area_@(s)
        if a > best_area:
            best_area = a
            best = Some(s)
    return best

/// A shape grown or shrunk by a factor around its anchor.
$Pfn scale_one_@(s: Shape@, factor: Float) -> Shape@:
    match s:
        case Shape@.Circle(center: c, radius: r):
            return Shape@.Circle(center: c, radius: r * factor)
        case Shape@.Rect(corner: c, width: w, height: h):
            return Shape@.Rect(corner: moved_@(c, 0.0, 0.0), width: w * factor, height: h * factor)
        case Shape@.Empty:
            return Shape@.Empty

/// Every shape scaled by the same factor.
$Pfn scaled_@(shapes: List[Shape@], factor: Float) -> List[Shape@]:
    return shapes.map(fn(s: Shape@) -> Shape@ = scale_one_@(s, factor))

/// The shapes bigger than a threshold, described.
$Pfn big_ones_@(shapes: List[Shape@], threshold: Float) -> Text:
    let big = shapes.filter(fn(s: Shape@) -> Bool = area_@(s) > threshold)
    return big.map(fn(s: Shape@) -> Text = describe_@(s)).join("; ")

/// A score for a number, used to compare units.
$Pfn score_@(n: Int) -> Int:
    let shapes = [Shape@.Circle(center: Point@(x: 0.0, y: 0.0), radius: n.to_float()), Shape@.Empty]
    return total_area_@(scaled_@(shapes, $1.5)).round() + $2

/// This unit's score combined with the previous unit's.
$Pfn chain_@(n: Int) -> Int = $C

test "areas and distances @":
    let origin = Point@(x: 0.0, y: 0.0)
    let box = Shape@.Rect(corner: origin, width: 1.0, height: $1.5)
    assert area_@(box) > 0.0
    assert distance_@(origin, moved_@(origin, 3.0, 4.0)) == 5.0
    assert describe_@(Shape@.Empty) == "nothing"
    assert largest_shape_@([box, Shape@.Empty]) == Some(box)
    assert big_ones_@([box], 0.5).len() > 0

)QN";

// Text processing: while loops, maps and sets with element assignment and mutating methods,
// Result propagation, if/elif/else chains, a generic function and a generic enum.
inline constexpr std::string_view text_unit = R"QN(/// The words of a text: the pieces between spaces, without empty pieces.
$Pfn words_@(t: Text) -> List[Text]:
    return t.split(" ").filter(fn(w: Text) -> Bool = w.len() > 0)

/// How often each word occurs, ignoring case.
$Pfn word_counts_@(t: Text) -> Map[Text, Int]:
    mut counts: Map[Text, Int] = {}
    for w in words_@(t):
        let key = w.lower()
        if counts.has(key):
            counts[key] = counts[key] + 1
        else:
            counts[key] = 1
    return counts

/// The text repeated n times.
$Pfn repeat_@(t: Text, n: Int) -> Text:
    mut out = ""
    mut i = 0
    while i < n:
        out = "{out}{t}"
        i = i + 1
    return out

/// The text padded on the left with spaces to at least the given width.
$Pfn pad_left_@(t: Text, width: Int) -> Text:
    let missing = width - t.len()
    if missing <= 0:
        return t
    return "{repeat_@(" ", missing)}{t}"

/// The first letters of the words, in upper case.
$Pfn initials_@(t: Text) -> Text:
    let firsts = words_@(t).map(fn(w: Text) -> Text = w.chars().first().unwrap_or("").upper())
    return firsts.join("")

/// The numbers of a comma-separated text, or the first piece that is not a number.
$Pfn parse_numbers_@(t: Text) -> Result[List[Int], Text]:
    mut out: List[Int] = []
    for piece in t.split(","):
        match piece.trim().to_int():
            case Some(n):
                out.push(n)
            case None:
                return Err("not a number: '{piece}'")
    return Ok(out)

/// The sum of a comma-separated list of numbers.
$Pfn sum_numbers_@(t: Text) -> Result[Int, Text]:
    let numbers = parse_numbers_@(t)?
    return Ok(numbers.fold($5, fn(acc: Int, x: Int) -> Int = acc + x))

/// The number of different characters in a text.
$Pfn distinct_@(t: Text) -> Int:
    mut seen = {""}
    for c in t.chars():
        seen.add(c)
    return seen.len() - 1

/// A number described in a word or two.
$Pfn classify_@(n: Int) -> Text:
    if n < 0:
        return "negative"
    elif n == 0:
        return "zero"
    elif n % 2 == 0 and n < $4:
        return "small even"
    else:
        return "other"

/// The first element of a list, or the fallback for an empty list.
$Pfn first_or_@[T](xs: List[T], fallback: T) -> T:
    match xs.first():
        case Some(v):
            return v
        case None:
            return fallback

/// Work that is finished with a value or still waiting for a reason.
$Penum Outcome@[T]:
    Done(value: T)
    Pending(reason: Text)

/// The value of finished work, or the length of the reason it waits.
$Pfn settle_@(o: Outcome@[Int]) -> Int:
    match o:
        case Outcome@.Done(value: v):
            return v
        case Outcome@.Pending(reason: r):
            return r.len()

/// How a number is described in reports.
$Penum Size@:
    Small
    Medium(limit: Int)
    Large(limit: Int, note: Text)

/// The size class of a number.
$Pfn size_of_@(n: Int) -> Size@:
    if n < $1:
        return Size@.Small
    elif n < $4:
        return Size@.Medium(limit: $4)
    return Size@.Large(limit: $4, note: "past {n}")

/// The size class as text.
$Pfn size_label_@(s: Size@) -> Text:
    match s:
        case Size@.Small:
            return "small"
        case Size@.Medium(limit: l):
            return "medium (below {l})"
        case Size@.Large(limit: l, note: note):
            return "large (from {l}): {note.trim()}"

/// A score for a number, used to compare units.
$Pfn score_@(n: Int) -> Int:
    let counts = word_counts_@("a b a c {n}")
    match sum_numbers_@("1, 2, {n}"):
        case Ok(total):
            return total + counts.len() + settle_@(Outcome@.Done(value: n))
        case Err(_):
            return counts.len()

/// This unit's score combined with the previous unit's.
$Pfn chain_@(n: Int) -> Int = $C

test "words and numbers @":
    assert words_@("  a  b c ") == ["a", "b", "c"]
    assert pad_left_@("7", 3) == "  7"
    assert initials_@("quick brown fox") == "QBF"
    assert sum_numbers_@("1, 2, 3") == Ok(6 + $5)
    assert classify_@($1) != "zero"
    assert first_or_@(["x"], "y") == "x"
    let waiting: Outcome@[Int] = Outcome@.Pending(reason: "later")
    assert settle_@(waiting) == 5
    assert size_label_@(size_of_@(0)) == "small"
    assert distinct_@("abca") == 3

)QN";

// Uses of an imported module's inventory unit: qualified types in signatures and fields, qualified
// constructions, calls and variant patterns.
inline constexpr std::string_view bridge_unit = R"QN(/// The stock value of an item from $M, doubled.
pub fn bridge_value_@(item: $M.Item$F) -> Int = $M.stock_value_$F(item) * 2

/// A fresh tool from $M.
pub fn fresh_tool_@(name: Text) -> $M.Item$F = $M.Item$F(name: name, price: $4, qty: 1, kind: $M.Kind$F.Tool)

/// A label for an item from $M.
fn bridge_label_@(item: $M.Item$F) -> Text:
    match item.kind:
        case $M.Kind$F.Tool:
            return "tool"
        case $M.Kind$F.Food(days_left: d):
            return "food for {d} days"
        case $M.Kind$F.Gift(wrapped: w):
            return "gift, wrapped: {w}"

/// A shelf of items from $M.
pub record Shelf@:
    label: Text
    items: List[$M.Item$F]

/// The report of a shelf, with the imported module's own summary.
pub fn shelf_report_@(shelf: Shelf@) -> Text:
    let labels = shelf.items.map(fn(i: $M.Item$F) -> Text = bridge_label_@(i))
    let restocked = shelf.items.map(fn(i: $M.Item$F) -> $M.Item$F = $M.take_$F(i, $2))
    return "{shelf.label}: {labels.join(", ")} ({$M.report_$F(restocked)}) {$M.chain_$F($2)}"

)QN";

// Small helpers that fill what the units leave of a file's budget, largest first.
inline constexpr std::string_view filler_units[] = {
    R"QN(/// The greatest common divisor of two numbers.
fn gcd_@(a: Int, b: Int) -> Int:
    mut x = a.abs()
    mut y = b.abs()
    while y != 0:
        let r = x % y
        x = y
        y = r
    return x

)QN",
    R"QN(/// The value limited to the range from low to high.
fn clamp_@(value: Int, low: Int, high: Int) -> Int:
    if value < low:
        return low
    if value > high:
        return high
    return value

)QN",
    R"QN(/// A count with its noun, in the plural when needed.
fn plural_@(n: Int, word: Text) -> Text:
    if n == 1:
        return "1 {word}"
    return "{n} {word}s"

)QN",
    R"QN(/// True when n is a multiple of $2.
fn is_multiple_@(n: Int) -> Bool = n % $2 == 0

)QN",
};

}  // namespace quellin::gen
