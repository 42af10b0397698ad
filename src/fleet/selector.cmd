rem The selector, one ASCII letter or digit (compared case by case), or stop.
setlocal EnableDelayedExpansion
set "model=%~1"
set "known="
for %%c in (0 1 2 3 4 5 6 7 8 9 A B C D E F G H I J K L M N O P Q R S T U V W X Y Z a b c d e f g h i j k l m n o p q r s t u v w x y z) do if "!model!"=="%%c" set "known=1"
if not defined known (
    echo %~nx0: give the model's selector, one ASCII letter or digit 1>&2
    exit /b 2
)
