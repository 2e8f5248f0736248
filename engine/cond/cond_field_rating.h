// The rating pass of index choice: which columns of the table a prepared
// condition compares with constants, how useful each comparison is for an
// index range, and which constants bound it.
//
// Only a condition without OR at its top level is rated. Each factor of its
// AND list counts: a comparison of a lone column with a constant expression
// (mirrored when the column is on the right, inverted under NOT), a BETWEEN
// with constant bounds (not negated), a LIKE whose pattern does not start
// with "%", and parenthesised conditions without OR (not negated), visited
// in turn. A column holds at most one rating (see MergeFieldRating).
//
// Ratings refer to expressions of the prepared tree; they are valid while
// the tree is and are never kept between two choices.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/cond/sql_syntax.h"

namespace kestrel {

// Ratings of a column's comparisons, the higher the narrower.
enum TTdbRatingValue : int16_t {
  trvNone = 0,
  trvExclusiveBound = 1,  // < or >
  trvInclusiveBound = 2,  // <= or >=
  trvRange = 3,           // LIKE with a prefix, or a lower and an upper bound
  trvEqual = 4,           // = or the null-safe equality
};

// What a bound expression stands for.
enum TTdbBoundKind : uint8_t {
  tbkValue,      // the expression's value
  tbkLikeLower,  // the pattern's text before its first wildcard
  tbkLikeUpper,  // that text as a prefix pattern (followed by the character 0)
};

struct TTdbRatingBound {
  TTdbExpression* FExpression = nullptr;  // nullptr: no bound on this side
  TTdbBoundKind FKind = tbkValue;
  bool FHasEscape = false;   // LIKE bounds: the escape character
  char16_t FEscape = 0;
  int FMaxLength = 0;        // LIKE bounds: the column's maximal length

  bool IsSet() const { return FExpression != nullptr; }
};

struct TTdbFieldRating {
  int FieldNo = 0;         // the record source's number of the column
  int JoinedRltnIdx = 0;   // 0: the bounds are constants
  int16_t Rating = trvNone;
  bool IsFixed = false;
  TTdbRatingBound LowerBound;
  TTdbRatingBound UpperBound;
  // The column's data type (from the column factor).
  const TCondDataType* FDataType = nullptr;
};

// `CalculateFieldRatings`: rates the prepared condition `condition`;
// `ratings` receives one entry per rated column in the order the columns
// were first rated. Touches only the tree. Text columns of type Char, memo
// and blob columns are not rated: their index order (bytes, block numbers)
// is not the order in which conditions compare them.
void CalculateFieldRatings(TTdbSearchCondition& condition, std::vector<TTdbFieldRating>& ratings);

// Adds the rating `rating` of a comparison to `ratings`: a column without a
// rating takes it; a rating that brings the missing side of an existing
// one-sided rating adds that bound and makes it a range; an equality
// replaces a weaker rating; otherwise a higher rating replaces the rating
// and the bounds of its sides, and a lower one is ignored.
void MergeFieldRating(std::vector<TTdbFieldRating>& ratings, const TTdbFieldRating& rating);

}  // namespace kestrel
