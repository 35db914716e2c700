// Realistic programs that use most statement and expression forms together and must check without error.
#include <gtest/gtest.h>

#include <string>

#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::expect_ok;

const std::string kInventory = R"(record Item:
    name: Text
    price: Float
    qty: Int
    tags: List[Text]

enum Category:
    Tool(weight: Float)
    Food(expires: Int)
    Other

record Stock:
    items: List[Item]
    index: Map[Text, Int]

enum Maybe[T]:
    Just(value: T)
    Nothing

record Pair[A, B]:
    first: A
    second: B

fn make_item(name: Text, price: Float, qty: Int) -> Item = Item(name: name, price: price, qty: qty, tags: [])

fn total_value(items: List[Item]) -> Float:
    mut total = 0.0
    for item in items:
        total = total + item.price * item.qty.to_float()
    return total

fn describe(c: Category) -> Text:
    match c:
        case Category.Tool(weight: w):
            return "tool of {w} kg"
        case Category.Food(expires: days) if days < 3:
            return "food, expiring soon"
        case Category.Food(expires: _):
            return "food"
        case Category.Other:
            return "other"

fn find(stock: Stock, name: Text) -> Option[Item]:
    let idx = stock.index.get(name)?
    if idx < stock.items.len():
        return Some(stock.items[idx])
    return None

fn price_of(stock: Stock, name: Text) -> Result[Float, Text]:
    match find(stock, name):
        case Some(item):
            return Ok(item.price)
        case None:
            return Err("no item named {name}")

fn restock(item: Item, extra: Int) -> Item = item with qty: item.qty + extra

fn parse_qty(t: Text) -> Result[Int, Text]:
    match t.trim().to_int():
        case Some(n) if n >= 0:
            return Ok(n)
        case Some(n):
            return Err("negative quantity {n}")
        case None:
            return Err("not a number: {t}")

fn sum_quantities(lines: List[Text]) -> Result[Int, Text]:
    mut total = 0
    for line in lines:
        let n = parse_qty(line)?
        total = total + n
    return Ok(total)

fn cheapest(items: List[Item]) -> Maybe[Item]:
    mut best: Maybe[Item] = Maybe.Nothing
    for item in items:
        match best:
            case Maybe.Just(value: b) if b.price <= item.price:
                continue
            case _:
                best = Maybe.Just(value: item)
    return best

fn tally(words: List[Text]) -> Map[Text, Int]:
    mut counts: Map[Text, Int] = {}
    for w in words:
        let key = w.lower()
        if counts.has(key):
            counts[key] = counts[key] + 1
        else:
            counts[key] = 1
    return counts

fn label(n: Int) -> Text:
    if n == 0:
        return "none"
    elif n == 1:
        return "one"
    else:
        return "{n} items"

fn main() -> Void:
    let hammer = make_item("hammer", 12.5, 3)
    let bread = Item(name: "bread", price: 2.0, qty: 10, tags: ["fresh", "daily"])
    let items = [hammer, bread]
    let stock = Stock(items: items, index: {"hammer": 0, "bread": 1})
    let more = restock(hammer, 2)
    print("{more.name}: {more.qty}")
    print("total {total_value(items)}")
    let names = items.map(fn(i: Item) -> Text = i.name)
    print(names.join(", "))
    let pricey = items.filter(fn(i: Item) -> Bool = i.price > 5.0)
    let count = items.fold(0, fn(acc: Int, i: Item) -> Int = acc + i.qty)
    print("{pricey.len()} pricey, {count} in stock")
    match price_of(stock, "nails"):
        case Ok(p):
            print("nails cost {p}")
        case Err(e):
            print(e)
    let kinds = [Category.Tool(weight: 1.5), Category.Food(expires: 2), Category.Other]
    for k in kinds:
        print(describe(k))
    let seen: Set[Text] = {"hammer"}
    if seen.contains("hammer") and not seen.contains("saw"):
        print("hammer seen")
    let pos: Tuple[Int, Int] = (3, 4)
    let counts = tally(["a", "A", "b"])
    for key in counts:
        print("{key}={counts[key]} at {pos}")
    mut i = 0
    while i < 3:
        i = i + 1
        if i == 2:
            continue
        print(label(i))
    let shout = fn(t: Text) -> Text:
        let loud = t.upper()
        return "{loud}!"
    print(shout("done"))
    match cheapest(items):
        case Maybe.Just(value: it):
            print("cheapest is {it.name}")
        case Maybe.Nothing:
            print("empty")
    let data = "abc".to_bytes()
    for b in data:
        assert b >= 0
    let pair = Pair(first: 1, second: "one")
    print("{pair.first} is {pair.second}")

test "restock adds quantity":
    let item = make_item("saw", 9.0, 1)
    assert restock(item, 4).qty == 5

test "parse_qty rejects junk":
    assert parse_qty("x").is_err()
    assert parse_qty(" 7 ").unwrap_or(0) == 7
    assert sum_quantities(["1", "2"]) == Ok(3)
)";

const std::string kWordStats = R"(record Stats:
    words: Int
    longest: Text
    freq: Map[Text, Int]

enum Token:
    Word(text: Text)
    Number(value: Int)
    Space

fn first_or[T](xs: List[T], fallback: T) -> T:
    match xs.first():
        case Some(x):
            return x
        case None:
            return fallback

fn classify(piece: Text) -> Token:
    if piece == " ":
        return Token.Space
    match piece.to_int():
        case Some(n):
            return Token.Number(value: n)
        case None:
            return Token.Word(text: piece)

fn tokens(text: Text) -> List[Token]:
    mut out: List[Token] = []
    for piece in text.split(" "):
        if piece.len() > 0:
            out.push(classify(piece))
    return out

fn count_words(ts: List[Token]) -> Stats:
    mut stats = Stats(words: 0, longest: "", freq: {})
    for t in ts:
        match t:
            case Token.Word(text: w):
                stats.words = stats.words + 1
                if w.len() > stats.longest.len():
                    stats.longest = w
                let key = w.lower()
                stats.freq[key] = stats.freq.get(key).unwrap_or(0) + 1
            case _:
                continue
    return stats

fn sum_numbers(ts: List[Token]) -> Int:
    let nums = ts.filter(fn(t: Token) -> Bool = t != Token.Space)
    mut total = 0
    for t in nums:
        match t:
            case Token.Number(value: v):
                total = total + v
            case Token.Word(text: _):
                total = total + 0
            case Token.Space:
                break
    return total

fn hex_of(t: Text) -> Text = t.to_bytes().to_hex()

fn checked_div(a: Int, b: Int) -> Result[Int, Text]:
    if b == 0:
        return Err("division by zero")
    return Ok(a / b)

fn average(xs: List[Int]) -> Result[Int, Text]:
    let total = xs.fold(0, fn(acc: Int, x: Int) -> Int = acc + x)
    let avg = checked_div(total, xs.len())?
    return Ok(avg)

fn main() -> Void:
    let text = "the cat saw 3 cats and 4 dogs"
    let ts = tokens(text)
    let stats = count_words(ts)
    print("{stats.words} words, longest {stats.longest}")
    let keys = stats.freq.keys().sorted()
    print(keys.join(","))
    print("numbers add up to {sum_numbers(ts)}")
    let firsts = first_or(keys, "none")
    let n = first_or([1, 2], 0)
    print("{firsts} {n} {hex_of(firsts)}")
    match average([1, 2, 3]):
        case Ok(v):
            print("average {v}")
        case Err(message):
            print(message)
    let grid: List[List[Int]] = [[1, 2], [3, 4]]
    mut flat: List[Int] = []
    for row in grid:
        for cell in row:
            flat.push(cell)
    let squares = flat.map(fn(x: Int) -> Int = x * x)
    let evens = squares.filter(fn(x: Int) -> Bool = x % 2 == 0)
    let unique: Set[Int] = {1, 2, 2}
    let point = (1, "one", true)
    let home = env("HOME").unwrap_or("/")
    let argv = args()
    print("{evens} {unique.len()} {point} {home} {argv.len()}")
    match read_file("data.txt"):
        case Ok(bytes):
            match bytes.to_text():
                case Some(content):
                    print(content)
                case None:
                    print("binary")
        case Err(e):
            print("cannot read: {e}")
    let written = write_file("out.txt", "hi".to_bytes())
    assert written.is_ok() or written.is_err()
    let scale = 3
    let scaled = flat.map(fn(x: Int) -> Int = x * scale)
    let size_of = fn(x: Int) -> Text:
        if x > 10:
            return "big"
        elif x > 5:
            return "medium"
        return "small"
    for s in scaled:
        print(size_of(s))

test "tokens":
    let ts = tokens("a 1")
    assert ts.len() == 2
    assert sum_numbers(ts) == 1

test "average of nothing fails":
    assert average([]).is_err()
)";

const std::string kGeo = R"(/// A point on the plane.
pub record Point:
    x: Float
    y: Float

/// A shape.
pub enum Shape:
    Circle(center: Point, radius: Float)
    Rect(corner: Point, w: Float, h: Float)
    Empty

/// A pair of anything.
pub record Pair[A, B]:
    first: A
    second: B

/// The origin.
pub fn origin() -> Point = Point(x: 0.0, y: 0.0)

/// The area of a shape.
pub fn area(s: Shape) -> Float:
    match s:
        case Shape.Circle(center: _, radius: r):
            return 3.14159 * r * r
        case Shape.Rect(corner: _, w: w, h: h):
            return w * h
        case Shape.Empty:
            return 0.0

/// Swaps the halves of a pair.
pub fn swap[A, B](p: Pair[A, B]) -> Pair[B, A] = Pair(first: p.second, second: p.first)

fn helper() -> Int = 1

test "area of nothing":
    assert area(Shape.Empty) == 0.0
    assert helper() == 1
)";

const std::string kGeoMain = R"(import geo

fn shift(p: geo.Point, dx: Float) -> geo.Point = p with x: p.x + dx

fn describe(s: geo.Shape) -> Text:
    match s:
        case geo.Shape.Circle(center: c, radius: r):
            return "circle at {c.x},{c.y} r={r}"
        case geo.Shape.Rect(corner: _, w: w, h: h):
            return "rect {w}x{h}"
        case geo.Shape.Empty:
            return "nothing"

fn main() -> Void:
    let o = geo.origin()
    let p = shift(o, 2.0)
    let shapes = [geo.Shape.Circle(center: p, radius: 1.0), geo.Shape.Rect(corner: o, w: 2.0, h: 3.0)]
    mut total = 0.0
    for s in shapes:
        total = total + geo.area(s)
        print(describe(s))
    let none: geo.Shape = geo.Shape.Empty
    print("total area {total}, {describe(none)}")
    let pair = geo.Pair(first: 1, second: "a")
    let swapped = geo.swap(pair)
    let t: Text = swapped.first
    let q: geo.Point = geo.Point(x: 1.0, y: 2.0)
    let areas = shapes.map(geo.area)
    print("{areas.len()} {t} {q.x}")
)";

TEST(CleanPrograms, Inventory) { expect_ok(kInventory); }

TEST(CleanPrograms, WordStats) { expect_ok(kWordStats); }

TEST(CleanPrograms, ModuleWithItsImporter) { expect_ok(testing::Sources{{"geo", kGeo}, {"main", kGeoMain}}); }

}  // namespace
}  // namespace quellin::typeck
